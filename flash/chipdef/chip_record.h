// The selected chip as the main window holds it: name, control-program load address and
// flash areas from CHIPDEF.INI, and the crystal-frequency labels.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace flash {

// One flash area, both ends inclusive.
struct FlashArea {
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t Size() const { return end - start + 1; }
};

inline constexpr int kMaxFlashAreas = 10;

struct ChipRecord {
  std::string chipName;  // section name in upper case, as the chip list shows it
  int32_t loadAddress = 0;
  std::array<FlashArea, kMaxFlashAreas> areas{};  // the first areaCount are valid, file order
  int32_t areaCount = 0;                          // 0..kMaxFlashAreas
  // Crystal-frequency labels in file order; the position of the chosen one is the clock
  // index that selects the "Baud" and "Baud2" entries.
  std::vector<std::string> clockLabels;
};

}  // namespace flash
