// The data of program and verify, read whole before the port is opened, so that a missing,
// unreadable or wrong data file is reported before anything on the chip is touched. A name
// ending in ".mhx" holds S2 records and is converted in memory; any other file is Intel-Hex
// or S-records when its whole text is records of one format, else a binary image of the
// flash from the start address on. Errors are class 3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "serburn/reporter.h"
#include "serburn/run_settings.h"

namespace serburn {

constexpr size_t kBlockSize = 512;

// True when name ends in ".mhx" (exactly, upper case does not match).
[[nodiscard]] bool IsS2FileName(const std::string& name);

// Fills image with the bytes for the flash from the start address on, in whole blocks, at
// most up to the block that holds the end address. A file longer than the flash area is
// refused unless every byte past the area is 0xFF; a file that ends inside a block is
// refused with "unable to read from data file".
[[nodiscard]] bool LoadDataImage(const RunSettings& settings, std::vector<uint8_t>& image,
                                 Reporter& reporter);

}  // namespace serburn
