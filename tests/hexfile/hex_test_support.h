// Helpers for the hex-file tests: record lines built independently of the code under test,
// a view that records what the user would have seen, and srec_cat as a second opinion.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "flash/hexfile/hex_load_view.h"

namespace hex_test {

inline std::string HexByte(unsigned value) {
  static const char digits[] = "0123456789ABCDEF";
  return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

// An S1/S2/S3 (or S0, S5, S7-S9) line with a correct count and checksum.
inline std::string MakeSRecord(char type, uint32_t address, const std::vector<uint8_t>& data) {
  const int addressBytes = type == '2' || type == '8' ? 3 : type == '3' || type == '7' ? 4 : 2;
  std::vector<uint8_t> bytes;
  bytes.push_back(static_cast<uint8_t>(addressBytes + data.size() + 1));
  for (int i = addressBytes - 1; i >= 0; --i)
    bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  std::string line = std::string("S") + type;
  for (uint8_t b : bytes) {
    sum += b;
    line += HexByte(b);
  }
  return line + HexByte(~sum & 0xFF);
}

// An Intel-Hex line with a correct checksum.
inline std::string MakeIntelRecord(uint8_t type, uint16_t offset,
                                   const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                             static_cast<uint8_t>(offset & 0xFF), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  std::string line = ":";
  for (uint8_t b : bytes) {
    sum += b;
    line += HexByte(b);
  }
  return line + HexByte((0x100 - (sum & 0xFF)) & 0xFF);
}

inline std::string JoinLines(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string text;
  for (const auto& l : lines) text += l + end;
  return text;
}

class RecordingView : public flash::HexLoadView {
 public:
  void ShowLoadStatus(const flash::HexLoadStatus& status) override { statuses.push_back(status); }
  void ShowLoadError(const flash::HexLoadError& error) override { errors.push_back(error); }
  std::vector<flash::HexLoadStatus> statuses;
  std::vector<flash::HexLoadError> errors;
};

// True when srec_cat can be run.
inline bool HaveSrecCat() {
  static const bool found = std::system("srec_cat -VERSion >/dev/null 2>&1") == 0;
  return found;
}

// Runs srec_cat with the given arguments; true when it exits with 0.
inline bool RunSrecCat(const std::string& arguments) {
  const std::string command = "srec_cat " + arguments + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

inline std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace hex_test
