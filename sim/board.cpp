// The board's core: line input, output, timing, resets.
#include "sim/board.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "sim/board_codes.h"
#include "sim/line_model.h"

namespace kvsim {

using namespace codes;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct DialectName {
  const char* name;
  Dialect dialect;
};
constexpr DialectName kDialects[] = {
    {"boot", Dialect::kBoot}, {"kv40", Dialect::kKv40}, {"kv41-604", Dialect::kKv41Old}, {"kv41", Dialect::kKv41}};

}  // namespace

bool ParseDialect(const std::string& text, Dialect& dialect) {
  for (const auto& d : kDialects) {
    if (text == d.name) {
      dialect = d.dialect;
      return true;
    }
  }
  return false;
}

const char* DialectName(Dialect dialect) {
  for (const auto& d : kDialects) {
    if (d.dialect == dialect) return d.name;
  }
  return "?";
}

Board::Board(BoardSettings settings, FlashMemory& flash, FaultPlan& faults, EventLog& log)
    : settings_(std::move(settings)), flash_(flash), faults_(faults), log_(log) {}

uint32_t Board::BootBaud() const {
  if (settings_.bootBaud != 0) return settings_.bootBaud;
  return settings_.chip.bootBauds[static_cast<size_t>(settings_.clockIndex)];
}

uint32_t Board::ListenBaud() const {
  switch (state_) {
    case State::kProgram:
    case State::kWriteFrame:
      return programBaud_;
    case State::kHung:
      return programBaud_ != 0 ? programBaud_ : BootBaud();
    default:
      return BootBaud();
  }
}

std::string Board::StateName() const {
  switch (state_) {
    case State::kNormal: return "normal";
    case State::kHung: return "hung";
    case State::kBirom: return "boot-rom";
    case State::kBiromData: return "boot-rom-data";
    case State::kAutoErase: return "auto-erase";
    case State::kProgram: return "program";
    case State::kWriteFrame: return "write-frame";
  }
  return "?";
}

void Board::Log(double nowMs, const std::string& event, const std::vector<std::string>& fields) {
  log_.Write(nowMs, event, fields);
}

void Board::Reset(ResetMode mode, const std::string& cause, double nowMs) {
  nowMs_ = std::max(nowMs_, nowMs);
  state_ = mode == ResetMode::kBoot ? State::kBirom : State::kNormal;
  synced_ = false;
  loaded_ = false;
  ram_.clear();
  programBaud_ = 0;
  pendingLoadLength_ = 0;
  input_.clear();
  pending_.reset();
  // What is already through the line stays there; the rest is never sent.
  while (!output_.empty() && output_.back().dueMs > nowMs_) output_.pop_back();
  txFreeMs_ = nowMs_;
  txRunBaud_ = 0;
  rxRunBaud_ = 0;
  needBytes_ = 1;
  Log(nowMs_, "reset", {JsonField("mode", mode == ResetMode::kBoot ? "boot" : "normal"), JsonField("cause", cause)});
}

void Board::Receive(const uint8_t* data, size_t count, uint32_t lineBaud, double nowMs) {
  nowMs_ = std::max(nowMs_, nowMs);
  if (count == 0 || unplugged_) return;
  if (lineBaud != lastLineBaud_) {
    Log(nowMs_, "baud", {JsonField("line_baud", lineBaud)});
    lastLineBaud_ = lineBaud;
  }
  const uint32_t listen = ListenBaud();
  const bool garbage = !RatesMatch(lineBaud, listen);
  const bool deaf = state_ == State::kNormal || state_ == State::kHung;
  Log(nowMs_, "rx",
      {JsonHex("hex", data, count), JsonField("line_baud", lineBaud), JsonField("board_baud", listen),
       JsonBool("garbage", garbage), JsonField("state", StateName())});
  if (garbage || deaf) return;  // framing errors, or nobody listening
  if (!settings_.pace) {
    for (size_t i = 0; i < count; ++i) input_.push_back({data[i], nowMs_});
    lastRxReadyMs_ = std::max(lastRxReadyMs_, nowMs_);
    return;
  }
  // A byte arrives its line time after it was written, and not before the previous one is
  // through: bytes written while the line is busy continue the run of back-to-back bytes.
  if (lineBaud != rxRunBaud_ || nowMs_ > lastRxReadyMs_) {
    rxRunStartMs_ = std::max(nowMs_, lastRxReadyMs_);
    rxRunBytes_ = 0;
    rxRunBaud_ = lineBaud;
  }
  for (size_t i = 0; i < count; ++i) {
    ++rxRunBytes_;
    lastRxReadyMs_ = rxRunStartMs_ + LineTimeMs(lineBaud, rxRunBytes_);
    input_.push_back({data[i], lastRxReadyMs_});
  }
}

size_t Board::Available() const {
  // Arrival times only grow along the queue.
  const auto firstLate =
      std::partition_point(input_.begin(), input_.end(), [this](const RxByte& b) { return b.readyMs <= nowMs_; });
  return static_cast<size_t>(firstLate - input_.begin());
}

void Board::Discard(size_t n) {
  for (size_t i = 0; i < n && !input_.empty(); ++i) input_.pop_front();
  needBytes_ = 1;
}

void Board::Consume(size_t n) {
  Discard(n);
  faults_.Count(Operation::kFrame);
  ArmUnplug(Operation::kFrame);
}

void Board::ArmUnplug(Operation op) {
  const Fault* f = faults_.Fires(FaultType::kUnplug, op);
  if (f == nullptr || nowMs_ + f->value >= unplugAtMs_) return;
  unplugAtMs_ = nowMs_ + f->value;
  unplugFault_ = f->text;
  if (f->value == 0) Unplug();
}

// The line is gone: whatever the board was doing has no one to answer any more.
void Board::Unplug() {
  unplugged_ = true;
  pending_.reset();
  input_.clear();
  Log(nowMs_, "fault", {JsonField("fault", unplugFault_)});
}

void Board::Drop(size_t n, const std::string& why) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < n && i < input_.size(); ++i) bytes.push_back(input_[i].value);
  Log(nowMs_, "ignored", {JsonHex("hex", bytes.data(), bytes.size()), JsonField("why", why)});
  Discard(n);
}

void Board::Send(const std::vector<uint8_t>& bytes, uint32_t baud) {
  if (bytes.empty() || unplugged_) return;
  if (!settings_.pace) {
    output_.push_back({bytes, baud, nowMs_});
    return;
  }
  // A byte starts when the line is free, or now if it has been idle: a new run of bytes.
  if (baud != txRunBaud_ || nowMs_ > txFreeMs_) {
    txRunStartMs_ = std::max(nowMs_, txFreeMs_);
    txRunBytes_ = 0;
    txRunBaud_ = baud;
  }
  for (uint8_t b : bytes) {
    ++txRunBytes_;
    txFreeMs_ = txRunStartMs_ + LineTimeMs(baud, txRunBytes_);
    output_.push_back({{b}, baud, txFreeMs_});
  }
}

void Board::SendBootReply(std::vector<uint8_t> bytes) {
  faults_.Count(Operation::kBootReply);
  if (const Fault* f = faults_.Fires(FaultType::kBootReply, Operation::kBootReply)) {
    bytes[0] = static_cast<uint8_t>(f->value);
    Log(nowMs_, "fault", {JsonField("fault", f->text)});
  }
  Send(bytes, BootBaud());
}

bool Board::TakeOutput(double nowMs, TxChunk& chunk) {
  if (output_.empty() || output_.front().dueMs > std::min(nowMs, unplugAtMs_)) return false;
  FlushFlash();
  chunk = std::move(output_.front());
  output_.pop_front();
  return true;
}

double Board::NextOutputMs() const {
  return output_.empty() || output_.front().dueMs > unplugAtMs_ ? kInfinity : output_.front().dueMs;
}

double Board::NextDeliveryMs(double granuleMs) const {
  if (output_.empty() || output_.front().dueMs > unplugAtMs_) return kInfinity;
  const double first = output_.front().dueMs;
  double last = first;
  for (size_t i = 1; i < output_.size(); ++i) {
    const TxChunk& c = output_[i];
    if (c.dueMs > first + granuleMs || c.dueMs > unplugAtMs_) break;
    // A pause on the line (more than half a byte's time between two bytes) ends the group.
    if (c.dueMs - last > LineTimeMs(c.baud, 1) * 1.5) break;
    last = c.dueMs;
  }
  return last;
}

void Board::Schedule(double delayMs, std::function<void()> run) {
  if (unplugged_) return;
  pending_ = Pending{std::max(nowMs_ + delayMs, settings_.pace ? txFreeMs_ : 0.0), std::move(run)};
}

double Board::NextDueMs() const {
  if (unplugged_) return kInfinity;
  if (pending_) return std::min(pending_->dueMs, unplugAtMs_);
  if (input_.empty()) return unplugAtMs_;
  const size_t need = std::max(needBytes_, Available() + 1);
  if (need <= input_.size()) return std::min(input_[need - 1].readyMs, unplugAtMs_);
  // The frame needs bytes not yet sent: it is dropped after the time-out.
  return std::min(lastRxReadyMs_ + settings_.frameTimeoutMs, unplugAtMs_);
}

void Board::Process(double nowMs) {
  const double until = std::max(nowMs_, nowMs);
  for (int guard = 0; guard < 1000000 && !unplugged_; ++guard) {
    // Nothing runs past an armed unplug, which a step may have armed just now.
    const double limit = std::min(until, std::max(nowMs_, unplugAtMs_));
    if (pending_) {
      if (pending_->dueMs > limit) break;
      nowMs_ = std::max(nowMs_, pending_->dueMs);
      auto run = std::move(pending_->run);
      pending_.reset();
      run();
      continue;
    }
    const Step step = StepInput();
    if (step == Step::kConsumed) continue;
    // Go on at the arrival of the byte the step waits for, if that is already past.
    const size_t need = std::max(needBytes_, Available() + 1);
    if (need <= input_.size()) {
      if (input_[need - 1].readyMs > limit) break;
      nowMs_ = std::max(nowMs_, input_[need - 1].readyMs);
      continue;
    }
    const double expiry = lastRxReadyMs_ + settings_.frameTimeoutMs;
    if (step == Step::kNeedMore && !input_.empty() && expiry <= limit) {
      nowMs_ = std::max(nowMs_, expiry);
      Drop(input_.size(), "incomplete frame timed out");
      if (state_ == State::kWriteFrame) state_ = State::kProgram;
      if (state_ == State::kBiromData) state_ = State::kBirom;
      continue;
    }
    break;
  }
  if (!unplugged_ && unplugAtMs_ <= until) {
    nowMs_ = std::max(nowMs_, unplugAtMs_);
    Unplug();
  }
  nowMs_ = until;
}

Board::Step Board::StepInput() {
  const bool deaf = state_ == State::kNormal || state_ == State::kHung || state_ == State::kAutoErase;
  if (Available() == 0) {
    needBytes_ = deaf ? std::max<size_t>(input_.size(), 1) : 1;
    return Step::kIdle;
  }
  switch (state_) {
    case State::kNormal:
    case State::kHung:
    case State::kAutoErase:
      Discard(Available());  // nobody listening: the bytes are lost once they have arrived
      needBytes_ = std::max<size_t>(input_.size(), 1);
      return Step::kIdle;
    case State::kBirom:
      switch (settings_.dialect) {
        case Dialect::kBoot:
        case Dialect::kKv40:
          return StepBootRom();
        case Dialect::kKv41Old:
          return StepBirom604();
        case Dialect::kKv41:
          return StepBiromKv41();
      }
      return Step::kIdle;
    case State::kBiromData:
      return StepBiromData();
    case State::kProgram:
      return StepProgram();
    case State::kWriteFrame:
      return StepWriteFrame();
  }
  return Step::kIdle;
}

void Board::Hang(const std::string& why) {
  Log(nowMs_, "hang", {JsonField("why", why)});
  state_ = State::kHung;
  pending_.reset();
}

// The file is written when the caller next asks (FlushFlash, as soon as it has run what is
// due), and at the latest before the next byte goes out (TakeOutput): while the reply that
// reports the change is still on the line, not in its way.
void Board::SaveFlash() { flashDirty_ = !settings_.flashImagePath.empty(); }

void Board::FlushFlash() {
  if (!flashDirty_) return;
  flashDirty_ = false;
  const auto begin = std::chrono::steady_clock::now();
  const bool ok = flash_.SaveChanges(settings_.flashImagePath);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  ++saveStats_.count;
  saveStats_.totalMs += ms;
  saveStats_.maxMs = std::max(saveStats_.maxMs, ms);
  if (!ok) Log(nowMs_, "error", {JsonField("why", "cannot write the flash image file")});
}

}  // namespace kvsim
