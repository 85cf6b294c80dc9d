#include "flash/hexfile/flash_image.h"

#include <algorithm>
#include <cstring>

namespace flash {

FlashAreaSpan AreasOf(const ChipRecord& chip) {
  const int count = std::clamp<int32_t>(chip.areaCount, 0, kMaxFlashAreas);
  return FlashAreaSpan(chip.areas.data(), static_cast<size_t>(count));
}

void FlashImage::Fill(uint8_t value) { std::memset(bytes_.data(), value, bytes_.size()); }

AreaFit CheckAreasFitImage(FlashAreaSpan areas) {
  if (areas.empty()) return AreaFit::kNoArea;
  const uint64_t base = areas.front().start;
  for (const FlashArea& area : areas) {
    if (area.end < area.start) return AreaFit::kEndBeforeStart;
    if (area.start < base) return AreaFit::kBelowFirstArea;
    if (area.end - base >= kFlashImageSize) return AreaFit::kBeyondImage;
    const uint64_t size = static_cast<uint64_t>(area.end) - area.start + 1;
    const uint64_t blocks = (size + kFlashBlockSize - 1) / kFlashBlockSize;
    if (area.start - base + blocks * kFlashBlockSize > kFlashImageSize) {
      return AreaFit::kLastBlockBeyondImage;
    }
  }
  return AreaFit::kFits;
}

const char* AreaFitText(AreaFit fit) {
  switch (fit) {
    case AreaFit::kFits: return "";
    case AreaFit::kNoArea: return "flash area error: the chip has no flash area";
    case AreaFit::kEndBeforeStart:
      return "flash area error: a flash area of the chip ends before it starts";
    case AreaFit::kBelowFirstArea:
      return "flash area error: a flash area of the chip lies below its first area";
    case AreaFit::kBeyondImage:
      return "flash area error: the flash areas of the chip span more than 0x90000 bytes";
    case AreaFit::kLastBlockBeyondImage:
      return "flash area error: the last 512-byte block of a flash area runs past 0x90000 "
             "bytes from the first area's start";
  }
  return "flash area error";
}

}  // namespace flash
