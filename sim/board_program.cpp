// The program in the simulated board's RAM: test connect, erase, blank check, block write
// and read, and the faults that act on them.
#include "sim/board.h"

#include <optional>

#include "sim/board_codes.h"
#include "sim/crc16.h"
#include "sim/line_model.h"

namespace kvsim {

using namespace codes;

Board::Active Board::Collect(Operation op) {
  faults_.Count(op);
  ArmUnplug(op);
  Active a;
  auto fire = [&](FaultType type) -> const Fault* {
    const Fault* f = faults_.Fires(type, op);
    if (f != nullptr) Log(nowMs_, "fault", {JsonField("fault", f->text)});
    return f;
  };
  a.noStatus = fire(FaultType::kNoStatus) != nullptr;
  a.busy = fire(FaultType::kEndlessBusy) != nullptr;
  a.reset = fire(FaultType::kReset) != nullptr;
  if (const Fault* f = fire(FaultType::kNulBefore)) {
    a.nul = true;
    a.nulCount = f->value;
  }
  a.crcWrite = fire(FaultType::kCrcWrite) != nullptr;
  a.writeFail = fire(FaultType::kWriteFail) != nullptr;
  a.crcRead = fire(FaultType::kCrcRead) != nullptr;
  if (const Fault* f = fire(FaultType::kShortRead)) {
    a.shortRead = true;
    a.shortLength = f->value;
  }
  a.noise = fire(FaultType::kNoise) != nullptr;
  a.eraseFail = fire(FaultType::kEraseFail) != nullptr;
  if (const Fault* f = fire(FaultType::kNotBlank)) a.notBlank = f->detail;
  return a;
}

void Board::EndlessBusy() {
  SendProgram({kStatusBusy});
  Schedule(kBusyRepeatMs, [this] { EndlessBusy(); });
}

// Sends status (its last byte being the completion status), unless a fault holds it back.
void Board::Complete(const Active& a, Operation op, const std::vector<uint8_t>& status) {
  std::vector<uint8_t> bytes(status.begin(), status.end() - 1);
  if (a.noStatus) {
    SendProgram(bytes);
    Hang(std::string("fault: no status after ") + OperationName(op));
    return;
  }
  if (a.busy) {
    SendProgram(bytes);
    Log(nowMs_, "busy", {JsonField("op", OperationName(op))});
    EndlessBusy();
    state_ = State::kHung;  // busy for ever: it takes nothing more in
    return;
  }
  if (a.nul) bytes.insert(bytes.end(), a.nulCount, 0x00);
  bytes.push_back(status.back());
  SendProgram(bytes);
}

Board::Step Board::StepProgram() {
  const uint8_t code = Peek(0);
  if (code == 0xE8) {
    Consume(1);
    const Active a = Collect(Operation::kConnect);
    Log(nowMs_, "connect", {});
    if (a.reset) return Reset(ResetMode::kBoot, "fault", nowMs_), Step::kConsumed;
    Complete(a, Operation::kConnect, {kStatusDone});
    return Step::kConsumed;
  }
  if (code != 0x38 && code != 0x48 && code != 0x08 && code != 0x28) {
    Drop(1, "not a command");
    return Step::kConsumed;
  }
  if (Available() < 4) return Need(4);
  const uint32_t address = Peek(1) | (static_cast<uint32_t>(Peek(2)) << 8) | (static_cast<uint32_t>(Peek(3)) << 16);
  Consume(4);

  if (code == 0x38) {
    const Active a = Collect(Operation::kErase);
    Log(nowMs_, "command", {JsonField("op", "erase"), JsonAddress("address", address)});
    SendProgram({kStatusBusy});
    if (a.reset) {
      Schedule(settings_.eraseMs / 2.0, [this, address] {
        flash_.EraseFrom(address, flash_.Size() / 2);
        SaveFlash();
        Reset(ResetMode::kBoot, "fault", nowMs_);
      });
      return Step::kConsumed;
    }
    Schedule(settings_.eraseMs, [this, a, address] {
      bool ok = false;
      if (!a.eraseFail && clockRight_) ok = flash_.EraseFrom(address);
      if (ok) SaveFlash();
      Log(nowMs_, "erase", {JsonAddress("address", address), JsonBool("ok", ok), JsonBool("clock_right", clockRight_)});
      Complete(a, Operation::kErase, {ok ? kStatusDone : kStatusFailed});
    });
    return Step::kConsumed;
  }

  if (code == 0x48) {
    const Active a = Collect(Operation::kBlank);
    Log(nowMs_, "command", {JsonField("op", "blank"), JsonAddress("address", address)});
    SendProgram({kStatusBusy});
    if (a.reset) return Reset(ResetMode::kBoot, "fault", nowMs_), Step::kConsumed;
    Schedule(settings_.blankMs, [this, a, address] {
      std::vector<uint8_t> reply;
      if (!a.notBlank.empty()) {
        reply.push_back(kStatusFailed);
        reply.insert(reply.end(), a.notBlank.begin(), a.notBlank.end());
      } else {
        const auto first = flash_.Covers(address, 1) ? flash_.FirstNotBlank(address) : std::optional<uint32_t>(address);
        if (first) {
          // Detail: the address of the first 16-bit word that is not erased (most significant
          // byte first) and that word's two bytes.
          const uint32_t word = *first & ~1u;
          uint8_t data[2];
          flash_.Read(word, data, 2);
          reply = {kStatusFailed,
                   static_cast<uint8_t>(word >> 24),
                   static_cast<uint8_t>(word >> 16),
                   static_cast<uint8_t>(word >> 8),
                   static_cast<uint8_t>(word),
                   data[0],
                   data[1]};
        } else {
          reply = {kStatusDone};
        }
      }
      Log(nowMs_, "blank", {JsonAddress("address", address), JsonBool("blank", reply[0] == kStatusDone)});
      // The detail bytes follow the status; NULs and faults go before the status.
      if (reply.size() == 1) {
        Complete(a, Operation::kBlank, reply);
      } else {
        Active head = a;
        std::vector<uint8_t> status = {reply[0]};
        Complete(head, Operation::kBlank, status);
        if (!a.noStatus && !a.busy) SendProgram(std::vector<uint8_t>(reply.begin() + 1, reply.end()));
      }
    });
    return Step::kConsumed;
  }

  const bool isWrite = code == 0x08;
  const Operation op = isWrite ? Operation::kWrite : Operation::kRead;
  const Active a = Collect(op);
  Log(nowMs_, "command", {JsonField("op", isWrite ? "write" : "read"), JsonAddress("address", address)});
  // A block starts inside an area; where an area ends inside a block, the rest is not there.
  if (address % kBlockSize != 0 || !flash_.Covers(address, 1)) {
    Log(nowMs_, "refused", {JsonAddress("address", address), JsonField("why", "block does not start in a flash area")});
    SendProgram({kStatusBusy, kStatusFailed});
    return Step::kConsumed;
  }
  if (isWrite) {
    SendProgram({kStatusBusy, kStatusDone});
    writeAddress_ = address;
    writeFaults_ = a;
    state_ = State::kWriteFrame;
    return Step::kConsumed;
  }

  std::vector<uint8_t> frame(kBlockSize + 3);
  flash_.Read(address, frame.data(), kBlockSize);
  uint16_t crc = Crc16(frame.data(), kBlockSize);
  if (a.crcRead) crc = static_cast<uint16_t>(crc + 0x100);
  frame[kBlockSize] = static_cast<uint8_t>(crc >> 8);
  frame[kBlockSize + 1] = static_cast<uint8_t>(crc);
  frame[kBlockSize + 2] = kStatusDone;
  if (a.noise) {
    for (size_t i = 128; i < 136; ++i) frame[i] = Mangle(frame[i]);
  }
  Log(nowMs_, "read", {JsonAddress("address", address)});
  SendProgram({kStatusBusy, kStatusDone});
  if (a.reset) {
    SendProgram(std::vector<uint8_t>(frame.begin(), frame.begin() + kBlockSize / 2));
    Schedule(0, [this] { Reset(ResetMode::kBoot, "fault", nowMs_); });
    return Step::kConsumed;
  }
  if (a.shortRead) {
    // Bytes lost on the way: the frame stops early, and after a pause the status follows.
    SendProgram(std::vector<uint8_t>(frame.begin(), frame.begin() + a.shortLength));
    Schedule(kShortFramePauseMs, [this] { SendProgram({kStatusDone}); });
    return Step::kConsumed;
  }
  SendProgram(std::vector<uint8_t>(frame.begin(), frame.end() - 1));
  Complete(a, Operation::kRead, {kStatusDone});
  return Step::kConsumed;
}

Board::Step Board::StepWriteFrame() {
  constexpr size_t kFrame = kBlockSize + 2;
  if (writeFaults_.reset && Available() >= kFrame / 2) {
    Reset(ResetMode::kBoot, "fault", nowMs_);
    return Step::kConsumed;
  }
  if (Available() < kFrame) return Need(writeFaults_.reset ? kFrame / 2 : kFrame);
  std::vector<uint8_t> frame(kFrame);
  for (size_t i = 0; i < kFrame; ++i) frame[i] = Peek(i);
  Consume(kFrame);
  state_ = State::kProgram;
  const Active a = writeFaults_;
  const uint32_t address = writeAddress_;
  const bool crcOk = Crc16(frame.data(), kFrame) == 0;
  if (a.crcWrite || !crcOk) {
    Log(nowMs_, "write", {JsonAddress("address", address), JsonBool("ok", false), JsonField("why", "crc")});
    SendProgram({kStatusCrcError});
    return Step::kConsumed;
  }
  SendProgram({kStatusBusy});
  Schedule(settings_.programMs, [this, a, address, frame] {
    bool ok = false;
    if (!a.writeFail && clockRight_) {
      ok = flash_.Program(address, frame.data(), kBlockSize);
      SaveFlash();
    }
    Log(nowMs_, "write", {JsonAddress("address", address), JsonBool("ok", ok), JsonBool("clock_right", clockRight_)});
    Complete(a, Operation::kWrite, {ok ? kStatusDone : kStatusFailed});
  });
  return Step::kConsumed;
}

}  // namespace kvsim
