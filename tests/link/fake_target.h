// A board for FakeSerialPort: a small boot ROM and control program written for the link's
// unit tests. It follows the byte protocol the link speaks and lets a test bend each reply
// (wrong bytes, silence, CRC errors, slow erase) to reach the link's error paths in fake
// time. The end-to-end tests use kvsim instead.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/fake_serial_port.h"

namespace flash::testing {

class FakeTarget {
 public:
  FakeTarget(platform::FakeSerialPort& port, uint32_t flashBase, uint32_t flashSize);

  // ---- Replies that tests may change ----------------------------------------------------
  bool silent = false;           // answers nothing at all
  uint8_t syncReply = 0x11;      // to 0x18
  uint8_t loadReply = 0x01;      // to the load frame
  uint8_t startReply = '1';      // to 0x40 00 00 00 00
  uint8_t baudCheckReply = '1';  // to 0xE8
  uint64_t eraseMs = 1500;       // time the erase takes
  uint8_t eraseReply = '1';
  bool eraseSilent = false;
  uint8_t blankCheckOverride = 0;  // non-zero: this status instead of the real answer
  std::vector<uint8_t> blankDetail;  // the 6 bytes after '4' (empty: address and data of the first non-blank byte)
  uint8_t blockCommandReply = '1';   // to 0x08 and 0x28
  bool blockCommandSilent = false;
  std::deque<uint8_t> frameReplies;  // replies to the next written frames instead of the CRC test
  int corruptReads = 0;              // the next N read frames carry a wrong CRC
  int lineErrorReads = 0;            // the next N read frames arrive with a framing error
  uint64_t replyDelayMs = 0;         // delay before each status reply

  // ---- What happened ----------------------------------------------------------------------
  std::vector<uint8_t> flash;          // flashBase .. flashBase + flashSize - 1
  std::vector<uint8_t> program;        // the control program as loaded
  uint16_t loadAddress = 0;
  bool checksumOk = false;
  bool running = false;                // the control program runs
  int framesWritten = 0;
  int framesRead = 0;
  std::vector<uint32_t> writtenBlocks;  // block addresses in the order written
  int erases = 0;

  uint32_t base() const { return base_; }

 private:
  void OnBytes(platform::FakeSerialPort& port, const std::vector<uint8_t>& bytes);
  void OnByte(platform::FakeSerialPort& port, uint8_t byte);
  void Reply(platform::FakeSerialPort& port, std::vector<uint8_t> bytes, uint64_t delayMs = 0);
  void RunCommand(platform::FakeSerialPort& port);
  uint32_t CommandAddress() const;

  enum class State { kBoot, kLoadHeader, kLoadData, kStart, kCommand, kFrame };
  State state_ = State::kBoot;
  uint32_t base_;
  std::vector<uint8_t> pending_;
  size_t need_ = 0;
  uint32_t frameAddress_ = 0;
};

}  // namespace flash::testing
