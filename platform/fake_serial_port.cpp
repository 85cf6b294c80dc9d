#include "platform/fake_serial_port.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace platform {

namespace {
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
}

FakeSerialPort::FakeSerialPort(FakeClock& clock) : clock_(clock) {}

void FakeSerialPort::Record(Event::Kind kind, std::vector<uint8_t> data, uint32_t value) {
  Event e{kind, clock_.TickMs(), std::move(data), value, {}, true};
  events_.push_back(std::move(e));
}

bool FakeSerialPort::Open(const std::string& devicePath) {
  Close();
  Record(Event::Kind::Open);
  events_.back().path = devicePath;
  if (openFails_) {
    events_.back().ok = false;
    return false;
  }
  open_ = true;
  path_ = devicePath;
  return true;
}

void FakeSerialPort::Close() {
  if (!open_) return;
  Record(Event::Kind::Close);
  open_ = false;
}

bool FakeSerialPort::SetBaudRate(uint32_t baud) {
  Record(Event::Kind::SetBaud, {}, baud);
  if (!open_ || baudFails_ || baud == 0) {
    events_.back().ok = false;
    return false;
  }
  baud_ = baud;
  return true;
}

bool FakeSerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  Record(Event::Kind::SetTimeouts);
  if (!open_ || timeoutsFail_) {
    events_.back().ok = false;
    return false;
  }
  timeouts_ = timeouts;
  return true;
}

IoResult FakeSerialPort::Read(uint8_t* buffer, size_t count) {
  IoResult result;
  if (!open_ || readFails_) {
    Record(Event::Kind::Read, {}, static_cast<uint32_t>(count));
    events_.back().ok = false;
    return result;
  }
  result.ok = true;
  const uint64_t start = clock_.TickMs();
  const uint64_t constant = timeouts_.readTotalConstantMs;
  const uint64_t perByte = timeouts_.readTotalPerByteMs;
  uint64_t deadline = kNever;
  if ((constant != 0 || perByte != 0) && (perByte == 0 || count <= (kNever - start - constant) / perByte)) {
    deadline = start + constant + perByte * count;
  }
  const uint32_t interval = timeouts_.readIntervalMs;
  std::vector<uint8_t> got;
  uint64_t lastByteMs = start;
  while (got.size() < count) {
    // The interval bound runs only once a byte has come; the total bound ends the read at
    // its deadline, before a byte due at that very moment.
    const uint64_t intervalEnd = (!got.empty() && interval != 0) ? lastByteMs + interval : kNever;
    const uint64_t nextArrival = input_.empty() ? kNever : std::max(input_.front().availableAtMs, clock_.TickMs());
    if (nextArrival != kNever && nextArrival < deadline && nextArrival <= intervalEnd && nextArrival < lostAtMs_) {
      if (nextArrival > clock_.TickMs()) clock_.Advance(nextArrival - clock_.TickMs());
      got.push_back(input_.front().byte);
      input_.pop_front();
      lastByteMs = nextArrival;
      continue;
    }
    // Nothing more within the bounds: a real port would wait until the first bound ends.
    // With no bound at all it would wait for ever; here nothing more can come, so it returns.
    const uint64_t end = std::min(deadline, intervalEnd);
    if (lostAtMs_ != kNoLoss && lostAtMs_ <= end) {
      // The device goes before the read's bounds end: the read fails there.
      if (lostAtMs_ > clock_.TickMs()) clock_.Advance(lostAtMs_ - clock_.TickMs());
      result.ok = false;
      result.lost = true;
      break;
    }
    if (end != kNever && end > clock_.TickMs()) clock_.Advance(end - clock_.TickMs());
    break;
  }
  std::copy(got.begin(), got.end(), buffer);
  result.count = got.size();
  // The read is recorded when it returns, with the bytes it returned.
  Record(Event::Kind::Read, std::move(got), static_cast<uint32_t>(count));
  events_.back().ok = result.ok;
  return result;
}

IoResult FakeSerialPort::Write(const uint8_t* data, size_t count) {
  IoResult result;
  std::vector<uint8_t> bytes(data, data + count);
  Record(Event::Kind::Write, bytes);
  const bool lost = open_ && clock_.TickMs() >= lostAtMs_;
  if (!open_ || writeFails_ || lost) {
    events_.back().ok = false;
    result.lost = lost;
    return result;
  }
  result.ok = true;
  result.count = count;
  if (peer_ && count != 0) {
    // A copy, so that a peer may replace itself.
    Peer peer = peer_;
    peer(*this, bytes);
  }
  return result;
}

bool FakeSerialPort::Purge(uint32_t flags) {
  Record(Event::Kind::Purge, {}, flags);
  if (!open_) {
    events_.back().ok = false;
    return false;
  }
  if ((flags & kPurgeInput) != 0) {
    // Only what has arrived is in the driver; bytes still on their way survive.
    const uint64_t now = clock_.TickMs();
    std::erase_if(input_, [now](const Pending& p) { return p.availableAtMs <= now; });
  }
  return true;
}

bool FakeSerialPort::Drain() {
  Record(Event::Kind::Drain);
  if (!open_) {
    events_.back().ok = false;
    return false;
  }
  return true;
}

uint32_t FakeSerialPort::ClearErrors() {
  if (!open_) {
    Record(Event::Kind::ClearErrors);
    events_.back().ok = false;
    return 0;
  }
  const uint32_t flags = lineErrors_;
  lineErrors_ = 0;
  Record(Event::Kind::ClearErrors, {}, flags);
  return flags;
}

bool FakeSerialPort::SetDtr(bool on) {
  Record(Event::Kind::Dtr, {}, on ? 1u : 0u);
  if (!open_ || !hasModemLines_) {
    events_.back().ok = false;
    return false;
  }
  dtr_ = on;
  return true;
}

bool FakeSerialPort::SetRts(bool on) {
  Record(Event::Kind::Rts, {}, on ? 1u : 0u);
  if (!open_ || !hasModemLines_) {
    events_.back().ok = false;
    return false;
  }
  rts_ = on;
  return true;
}

void FakeSerialPort::QueueInput(const std::vector<uint8_t>& bytes, uint64_t delayMs) {
  const uint64_t at = clock_.TickMs() + delayMs;
  // Input keeps arrival order: a byte never overtakes one queued before it.
  const uint64_t after = input_.empty() ? at : std::max(at, input_.back().availableAtMs);
  for (uint8_t b : bytes) input_.push_back(Pending{after, b});
}

std::vector<uint8_t> FakeSerialPort::Written() const {
  std::vector<uint8_t> all;
  for (const Event& e : events_) {
    if (e.kind == Event::Kind::Write && e.ok) all.insert(all.end(), e.data.begin(), e.data.end());
  }
  return all;
}

}  // namespace platform

