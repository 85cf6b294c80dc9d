// The flash image: one buffer of 0x90000 bytes that mirrors the selected chip's flash. The
// byte for target address A lies at offset A minus the first flash area's start.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "flash/chipdef/chip_record.h"

namespace flash {

inline constexpr uint32_t kFlashImageSize = 0x90000;
// Program & Verify and Read & Compare handle each area in whole blocks of this size.
inline constexpr uint32_t kFlashBlockSize = 512;

// The chip's flash areas in list order: the first area's start is the image's base address,
// the last area's end the highest address a hex file may fill.
using FlashAreaSpan = std::span<const FlashArea>;

// The valid areas of a chip record (its first areaCount entries).
FlashAreaSpan AreasOf(const ChipRecord& chip);

class FlashImage {
 public:
  FlashImage() : bytes_(kFlashImageSize) {}

  // Sets every byte of the buffer to value.
  void Fill(uint8_t value);

  uint8_t* Data() { return bytes_.data(); }
  const uint8_t* Data() const { return bytes_.data(); }
  std::span<uint8_t> Bytes() { return bytes_; }
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// Whether a chip's areas can be held by the image and read in whole blocks from each area's
// start. A chip that does not fit is refused before anything is loaded or sent.
enum class AreaFit {
  kFits,
  kNoArea,                // the chip has no flash area
  kEndBeforeStart,        // an area ends before it starts
  kBelowFirstArea,        // an area starts below the first area's start
  kBeyondImage,           // an area ends more than 0x8FFFF bytes after the first area's start
  kLastBlockBeyondImage,  // an area's last 512-byte block runs past the image's end
};

AreaFit CheckAreasFitImage(FlashAreaSpan areas);

// A message telling the user why the chip is refused ("" for kFits).
const char* AreaFitText(AreaFit fit);

}  // namespace flash
