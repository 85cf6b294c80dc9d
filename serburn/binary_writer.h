// A read-out as a binary image: the flash bytes as they are, nothing before or after them.
#pragma once

#include "serburn/read_out_writer.h"

namespace serburn {

class BinaryWriter final : public ReadOutWriter {
 public:
  std::string_view Extension() const override { return {}; }
  void AppendHeader(std::string&) const override {}
  void AppendBlock(std::string& out, uint32_t, const uint8_t* data, size_t size) const override {
    out.append(reinterpret_cast<const char*>(data), size);
  }
  void AppendTrailer(std::string&) const override {}
};

}  // namespace serburn
