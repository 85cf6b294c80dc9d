// The S2 record converter: turns a .mhx file (one S0 header line, S2 data records, an
// optional S8 end record) into a temporary binary image of the flash range start..end,
// every byte not given by a record left at 0xFF. Errors are class 3.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serburn/reporter.h"

namespace serburn {

// Longest .mhx line accepted, without its line end.
constexpr size_t kMaxS2Line = 511;
// Largest image: the whole 24-bit address space.
constexpr uint64_t kMaxS2Image = 0x1000000;

// Decodes the text of a .mhx file into image (resized to end - start + 1 bytes of 0xFF).
// beforeRecords runs after the header line was accepted and the image allocated, before
// the records are read (the file converter creates its temporary file there); returning
// false stops the conversion.
bool DecodeS2Text(std::string text, uint32_t start, uint32_t end, std::vector<uint8_t>& image, Reporter& reporter,
                  const std::function<bool()>& beforeRecords = {});

// Converts the .mhx file into a new temporary file in directory (empty: the current
// directory), created under a unique name. On success tempName holds its path; on failure
// no temporary file is left behind.
bool ConvertS2File(const std::string& mhxPath, uint32_t start, uint32_t end, const std::string& directory,
                   std::string& tempName, Reporter& reporter);

}  // namespace serburn
