// A simulated read-out: feeds a ReadOutWriter as CopyFlashToFile does, block by block, with
// flash contents that follow from the address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flash/output/read_out_writer.h"

namespace read_out_test {

struct Area {
  uint32_t start;
  uint32_t end;
};

// Flash contents: a mix of the address bits, so misplaced bytes show.
inline uint8_t FlashByte(uint64_t address) {
  return static_cast<uint8_t>((address * 131) ^ (address >> 8) ^ (address >> 16) ^ 0x5A);
}

// Writes every area in 512-byte blocks; stops after stopAfterBlocks blocks (cancel) when
// non-negative. Returns the first status that is not kOk, or kOk.
inline flash::ReadOutStatus WriteAreas(flash::ReadOutWriter& writer, const std::vector<Area>& areas,
                                       long stopAfterBlocks = -1) {
  using flash::ReadOutStatus;
  ReadOutStatus status = writer.WriteHeader();
  if (status != ReadOutStatus::kOk) return status;
  long blocks = 0;
  for (const Area& area : areas) {
    status = writer.BeginArea(area.start, area.end);
    if (status != ReadOutStatus::kOk) return status;
    for (uint64_t address = area.start; address <= area.end; address += 512) {
      if (blocks++ == stopAfterBlocks) return ReadOutStatus::kOk;
      std::vector<uint8_t> block(512);
      for (size_t i = 0; i < block.size(); ++i) block[i] = FlashByte(address + i);
      status = writer.WriteBlock(static_cast<uint32_t>(address), block);
      if (status != ReadOutStatus::kOk) return status;
    }
  }
  return ReadOutStatus::kOk;
}

inline std::vector<std::string> SplitCrLfLines(const std::string& text, bool* allCrLf) {
  std::vector<std::string> lines;
  *allCrLf = true;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) {
      *allCrLf = false;
      lines.push_back(text.substr(pos));
      break;
    }
    if (lf == pos || text[lf - 1] != '\r') {
      *allCrLf = false;
      lines.push_back(text.substr(pos, lf - pos));
    } else {
      lines.push_back(text.substr(pos, lf - pos - 1));
    }
    pos = lf + 1;
  }
  return lines;
}

}  // namespace read_out_test
