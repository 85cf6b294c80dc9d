// The format of the programs a board runs from RAM (the GUI programmer's control programs,
// the console programmer's RAM-execute modules and its auto-erase module). A 16-byte
// header, then the body:
//   0..1   'K' 'V'                  magic
//   2      clock byte               0-based position of the crystal in the chip's Clock list;
//                                   the programmers overwrite it before sending
//   3      kind                     'C' control program, 'M' RAM-execute module,
//                                   'A' auto-erase module
//   4..7   link address             little endian: the RAM address the program must be
//                                   loaded at (and, where a start address is sent, started at)
//   8..9   body length              little endian
//   10..11 body CRC-16              high byte first
//   12..15 "KVSB"
// A program whose header or body does not check out does what broken code does on a real
// board: nothing at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvsim {

enum class ProgramKind : uint8_t { kControl = 'C', kModule = 'M', kAutoErase = 'A' };

constexpr size_t kProgramHeaderSize = 16;
constexpr size_t kClockByteOffset = 2;

struct ProgramInfo {
  ProgramKind kind = ProgramKind::kControl;
  uint32_t linkAddress = 0;
  uint8_t clockByte = 0;
};

// Checks an image as loaded into RAM. Returns an empty string when it is a runnable
// program (and fills info), else why it is not.
std::string CheckProgram(const std::vector<uint8_t>& image, ProgramInfo& info);

// Builds a program image with the given body text (padded to bodyLength with a pattern).
std::vector<uint8_t> BuildProgram(ProgramKind kind, uint32_t linkAddress, const std::string& text,
                                  size_t bodyLength, uint8_t clockByte = 0);

}  // namespace kvsim
