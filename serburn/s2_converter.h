// The S2 record converter: turns a .mhx file (one S0 header line, S2 data records, an
// optional S8 end record) into a binary image of the flash range start..end in memory,
// every byte not given by a record left at 0xFF. Errors are class 3.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serburn/reporter.h"

namespace serburn {

// The name ending of files of S2 records, read as data files and written as read-outs.
inline constexpr std::string_view kS2FileExtension = ".mhx";

// Longest .mhx line accepted, without its line end.
constexpr size_t kMaxS2Line = 511;
// Largest image: the whole 24-bit address space.
constexpr uint64_t kMaxS2Image = 0x1000000;

// Decodes the text of a .mhx file into image (resized to end - start + 1 bytes of 0xFF).
[[nodiscard]] bool DecodeS2Text(std::string text, uint32_t start, uint32_t end, std::vector<uint8_t>& image,
                                Reporter& reporter);

// Reads and decodes the .mhx file at mhxPath.
[[nodiscard]] bool ConvertS2File(const std::string& mhxPath, uint32_t start, uint32_t end,
                                 std::vector<uint8_t>& image, Reporter& reporter);

}  // namespace serburn
