// The formats a read-out is written in, one small writer type each: what goes before the
// first block, the text of each block, and what closes the file. The name of the read-out
// file chooses the writer by its extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace serburn {

class ReadOutWriter {
 public:
  virtual ~ReadOutWriter() = default;
  // The name ending that chooses this writer; empty for the writer of every other name.
  [[nodiscard]] virtual std::string_view Extension() const = 0;
  // Appends what the file begins with.
  virtual void AppendHeader(std::string& out) const = 0;
  // Appends size bytes read from the flash at address.
  virtual void AppendBlock(std::string& out, uint32_t address, const uint8_t* data, size_t size) const = 0;
  // Appends what the file ends with.
  virtual void AppendTrailer(std::string& out) const = 0;
};

// The writer whose extension ends fileName (exactly, upper case does not match), else the
// binary image writer.
[[nodiscard]] const ReadOutWriter& ReadOutWriterFor(const std::string& fileName);

}  // namespace serburn
