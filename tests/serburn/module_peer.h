// A scripted RAM-execute module for the fake port: answers the test connect and the four
// address commands over a flash array, with optional scripted replies for write frames and
// damaged read frames.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "platform/fake_serial_port.h"
#include "serburn/crc16.h"

namespace serburn::testing {

class ModulePeer {
 public:
  using Bytes = std::vector<uint8_t>;
  enum class ReadFault { None, Short, BadStatus, BadCrc };

  ModulePeer(uint32_t base, size_t size) : base_(base), flash_(size, 0xFF) {}

  void Attach(platform::FakeSerialPort& port) {
    port.SetPeer([this](platform::FakeSerialPort& p, const Bytes& w) { OnWrite(p, w); });
  }

  // Replies for the next write frames, in order (default "01").
  std::deque<Bytes> writeReplies;
  // Faults for the next read frames, in order.
  std::deque<ReadFault> readFaults;
  // Completion byte of erase / blank check, and the erase's duration.
  uint8_t eraseResult = '1';
  uint64_t eraseMs = 2500;
  uint8_t blankResult = '1';
  uint64_t blankMs = 300;
  int commands = 0;
  std::map<uint8_t, int> commandCounts;

  std::vector<uint8_t>& flash() { return flash_; }

  void OnWrite(platform::FakeSerialPort& p, const Bytes& w) {
    if (expectFrame_) {
      expectFrame_ = false;
      Bytes reply = {'0', '1'};
      if (!writeReplies.empty()) {
        reply = writeReplies.front();
        writeReplies.pop_front();
      }
      const uint16_t crc = Crc16Xmodem(w.data(), 512);
      if (reply == Bytes{'0', '1'} && w.size() == 514 && w[512] == (crc >> 8) && w[513] == (crc & 0xFF)) {
        std::copy(w.begin(), w.begin() + 512, flash_.begin() + (frameAddress_ - base_));
      }
      p.QueueInput(reply, 1);
      return;
    }
    if (w == Bytes{0xE8}) {
      p.QueueInput('1', 1);
      return;
    }
    if (w.size() != 4) return;
    ++commands;
    ++commandCounts[w[0]];
    const uint32_t address = w[1] | (w[2] << 8) | (w[3] << 16);
    p.QueueInput('0', 1);
    switch (w[0]) {
      case 0x38:
        p.QueueInput(eraseResult, eraseMs);
        if (eraseResult == '1') std::fill(flash_.begin(), flash_.end(), 0xFF);
        break;
      case 0x48: p.QueueInput(blankResult, blankMs); break;
      case 0x08:
        p.QueueInput('1', 1);
        expectFrame_ = true;
        frameAddress_ = address;
        break;
      case 0x28: {
        p.QueueInput('1', 1);
        Bytes frame(flash_.begin() + (address - base_), flash_.begin() + (address - base_) + 512);
        const uint16_t crc = Crc16Xmodem(frame.data(), 512);
        frame.push_back(static_cast<uint8_t>(crc >> 8));
        frame.push_back(static_cast<uint8_t>(crc));
        frame.push_back('1');
        ReadFault fault = ReadFault::None;
        if (!readFaults.empty()) {
          fault = readFaults.front();
          readFaults.pop_front();
        }
        if (fault == ReadFault::Short) frame.resize(300);
        if (fault == ReadFault::BadStatus) frame.back() = '4';
        if (fault == ReadFault::BadCrc) frame[512] ^= 0x01;
        p.QueueInput(frame, 1);
        break;
      }
      default: break;
    }
  }

 private:
  uint32_t base_;
  std::vector<uint8_t> flash_;
  bool expectFrame_ = false;
  uint32_t frameAddress_ = 0;
};

}  // namespace serburn::testing
