// S2 records for a read-out into a .mhx file: an S0 header line, S2 data records of 16
// bytes with 24-bit addresses, and an S8 end record; upper-case hex digits, LF line ends.
// The result reads back through the S2 converter and through common S-record tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "serburn/read_out_writer.h"
#include "serburn/s2_converter.h"

namespace serburn {

std::string S2HeaderRecord();
// Appends the records for size bytes of data starting at flash address address.
void AppendS2Records(std::string& out, uint32_t address, const uint8_t* data, size_t size);
std::string S2EndRecord();

// The read-out writer of .mhx names.
class S2Writer final : public ReadOutWriter {
 public:
  std::string_view Extension() const override { return kS2FileExtension; }
  void AppendHeader(std::string& out) const override { out += S2HeaderRecord(); }
  void AppendBlock(std::string& out, uint32_t address, const uint8_t* data, size_t size) const override {
    AppendS2Records(out, address, data, size);
  }
  void AppendTrailer(std::string& out) const override { out += S2EndRecord(); }
};

}  // namespace serburn
