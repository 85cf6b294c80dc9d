// The simulated board's chip, taken from one CHIPDEF.INI section: where its program is
// loaded, its flash areas, its crystal frequencies and the line rates for each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvsim {

struct FlashArea {
  uint32_t start = 0;
  uint32_t end = 0;  // inclusive
};

struct ChipConfig {
  std::string section;  // the section name as written in the file
  uint32_t loadAddress = 0;
  bool downloadOption = false;
  std::vector<FlashArea> areas;
  std::vector<std::string> clocks;    // crystal-frequency labels, in list order
  std::vector<uint32_t> bootBauds;    // "Baud", one per clock
  std::vector<uint32_t> commandBauds; // "Baud2", or twice "Baud" when absent or empty
};

// Finds the section for chipName (without regard to case; a section named BASE/V1/V2 also
// answers to BASE and to the first 8 characters of BASE followed by V1 or V2) and reads it.
// Returns an empty string on success, else a message saying what is wrong.
std::string LoadChipConfig(const std::string& chipdefPath, const std::string& chipName, ChipConfig& chip);

// Position of label in the chip's clock list, or -1.
int ClockIndexOf(const ChipConfig& chip, const std::string& label);

}  // namespace kvsim
