#include "tests/link/fake_target.h"

#include <algorithm>

#include "flash/link/crc16.h"

namespace flash::testing {

FakeTarget::FakeTarget(platform::FakeSerialPort& port, uint32_t flashBase, uint32_t flashSize)
    : flash(flashSize, 0xFF), base_(flashBase) {
  port.SetPeer([this](platform::FakeSerialPort& p, const std::vector<uint8_t>& bytes) { OnBytes(p, bytes); });
}

void FakeTarget::Reply(platform::FakeSerialPort& port, std::vector<uint8_t> bytes, uint64_t delayMs) {
  if (silent) return;
  port.QueueInput(bytes, delayMs);
}

void FakeTarget::OnBytes(platform::FakeSerialPort& port, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) OnByte(port, b);
}

uint32_t FakeTarget::CommandAddress() const {
  return (static_cast<uint32_t>(pending_[3]) << 16) | (static_cast<uint32_t>(pending_[2]) << 8);
}

void FakeTarget::OnByte(platform::FakeSerialPort& port, uint8_t byte) {
  switch (state_) {
    case State::kBoot:
      if (byte == 0x18) {
        Reply(port, {syncReply});
      } else if (byte == 0x00) {
        state_ = State::kLoadHeader;
        pending_.clear();
      } else if (byte == 0x40) {
        state_ = State::kStart;
        pending_.clear();
      }
      return;
    case State::kLoadHeader:
      pending_.push_back(byte);
      if (pending_.size() == 4) {
        loadAddress = static_cast<uint16_t>(pending_[0] << 8 | pending_[1]);
        need_ = static_cast<size_t>(pending_[2] << 8 | pending_[3]) + 1;  // image and sum
        state_ = State::kLoadData;
      }
      return;
    case State::kLoadData:
      pending_.push_back(byte);
      if (pending_.size() == 4 + need_) {
        uint8_t sum = 0;
        for (size_t i = 0; i + 1 < pending_.size(); ++i) sum = static_cast<uint8_t>(sum + pending_[i]);
        checksumOk = sum == pending_.back();
        program.assign(pending_.begin() + 4, pending_.end() - 1);
        state_ = State::kBoot;
        Reply(port, {loadReply});
      }
      return;
    case State::kStart:
      pending_.push_back(byte);
      if (pending_.size() == 4) {
        state_ = State::kCommand;
        running = true;
        pending_.clear();
        Reply(port, {startReply});
      }
      return;
    case State::kCommand:
      pending_.push_back(byte);
      if (pending_.size() == 1 && byte == 0xE8) {
        pending_.clear();
        Reply(port, {baudCheckReply});
        return;
      }
      if (pending_.size() == 4) RunCommand(port);
      return;
    case State::kFrame:
      pending_.push_back(byte);
      if (pending_.size() == 514) {
        ++framesWritten;
        state_ = State::kCommand;
        uint8_t reply = '1';
        if (!frameReplies.empty()) {
          reply = frameReplies.front();
          frameReplies.pop_front();
        } else if (Crc16(pending_.data(), 514) != 0) {
          reply = '5';
        }
        if (reply == '1') {
          std::copy(pending_.begin(), pending_.begin() + 512, flash.begin() + (frameAddress_ - base_));
          writtenBlocks.push_back(frameAddress_);
        }
        pending_.clear();
        Reply(port, {reply}, replyDelayMs);
      }
      return;
  }
}

void FakeTarget::RunCommand(platform::FakeSerialPort& port) {
  const uint8_t command = pending_[0];
  const uint32_t address = CommandAddress();
  if (command == 0x38) {
    ++erases;
    std::fill(flash.begin(), flash.end(), uint8_t{0xFF});
    if (!eraseSilent) Reply(port, {eraseReply}, eraseMs);
  } else if (command == 0x48) {
    const auto first = std::find_if(flash.begin(), flash.end(), [](uint8_t b) { return b != 0xFF; });
    uint8_t status = first == flash.end() ? '1' : '4';
    if (blankCheckOverride != 0) status = blankCheckOverride;
    std::vector<uint8_t> reply{status};
    if (status == '4') {
      std::vector<uint8_t> detail = blankDetail;
      if (detail.empty() && first == flash.end()) detail.assign(6, 0);
      if (detail.empty()) {
        const auto at = static_cast<uint32_t>(first - flash.begin()) + base_;
        const size_t even = static_cast<size_t>(first - flash.begin()) & ~size_t{1};
        detail = {static_cast<uint8_t>(at >> 24), static_cast<uint8_t>(at >> 16), static_cast<uint8_t>(at >> 8),
                  static_cast<uint8_t>(at), flash[even], flash[even + 1]};
      }
      reply.insert(reply.end(), detail.begin(), detail.end());
    }
    Reply(port, reply, replyDelayMs);
  } else if (command == 0x08) {
    if (!blockCommandSilent) Reply(port, {blockCommandReply}, replyDelayMs);
    if (blockCommandReply == '1' && !blockCommandSilent) {
      frameAddress_ = address;
      state_ = State::kFrame;
    }
  } else if (command == 0x28) {
    if (blockCommandSilent) {
      pending_.clear();
      return;
    }
    std::vector<uint8_t> reply{blockCommandReply};
    if (blockCommandReply == '1') {
      ++framesRead;
      const size_t offset = address - base_;
      std::vector<uint8_t> data(512, 0xFF);
      for (size_t i = 0; i < 512 && offset + i < flash.size(); ++i) data[i] = flash[offset + i];
      const uint16_t crc = Crc16(data.data(), data.size());
      reply.insert(reply.end(), data.begin(), data.end());
      reply.push_back(static_cast<uint8_t>((crc >> 8) ^ (corruptReads > 0 ? 0x01 : 0x00)));
      reply.push_back(static_cast<uint8_t>(crc));
      reply.push_back('1');
      if (corruptReads > 0) --corruptReads;
      if (lineErrorReads > 0) {
        --lineErrorReads;
        port.SetLineErrors(platform::kLineFrameError);
      }
    }
    Reply(port, reply, replyDelayMs);
  }
  pending_.clear();
}

}  // namespace flash::testing
