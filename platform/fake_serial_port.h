// In-memory serial port for unit tests. It plays a scripted peer (a callback that sees
// every write and queues replies) and records every operation with the fake time at which
// it happened. Reads that would wait advance the FakeClock by the time a real port would
// have waited under the same time-outs, so long time-outs cost no real time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace platform {

class FakeSerialPort final : public SerialPort {
 public:
  struct Event {
    enum class Kind { Open, Close, SetBaud, SetTimeouts, Write, Read, Purge, Drain, ClearErrors, Dtr, Rts };
    Kind kind;
    uint64_t timeMs = 0;
    std::vector<uint8_t> data;  // Write: bytes written; Read: bytes returned
    uint32_t value = 0;         // SetBaud: rate; Purge: flags; Dtr/Rts: 1 on, 0 off; Read: count asked
    std::string path;           // Open: device path
    bool ok = true;             // false when the operation failed (closed port, injected failure)
  };
  // Called after each successful Write with the bytes just written.
  using Peer = std::function<void(FakeSerialPort& port, const std::vector<uint8_t>& written)>;

  explicit FakeSerialPort(FakeClock& clock);

  // SerialPort
  bool Open(const std::string& devicePath) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool SetBaudRate(uint32_t baud) override;
  uint32_t BaudRate() const override { return baud_; }
  bool SetTimeouts(const SerialTimeouts& timeouts) override;
  SerialTimeouts Timeouts() const override { return timeouts_; }
  IoResult Read(uint8_t* buffer, size_t count) override;
  IoResult Write(const uint8_t* data, size_t count) override;
  bool Purge(uint32_t flags) override;
  bool Drain() override;
  uint32_t ClearErrors() override;
  bool SetDtr(bool on) override;
  bool SetRts(bool on) override;

  // Scripting
  void SetPeer(Peer peer) { peer_ = std::move(peer); }
  // Bytes that arrive delayMs after now (fake time); a read waits for them within its
  // time-outs, as a real port would. Purging input drops only bytes that have arrived.
  // A read with no bound at all (all read time-outs 0) returns what has arrived instead of
  // waiting for ever.
  void QueueInput(const std::vector<uint8_t>& bytes, uint64_t delayMs = 0);
  void QueueInput(uint8_t byte, uint64_t delayMs = 0) { QueueInput(std::vector<uint8_t>{byte}, delayMs); }
  size_t PendingInput() const { return input_.size(); }
  void SetLineErrors(uint32_t flags) { lineErrors_ |= flags; }

  // Failure injection
  void SetOpenFails(bool fails) { openFails_ = fails; }
  void SetBaudFails(bool fails) { baudFails_ = fails; }
  void SetTimeoutsFail(bool fails) { timeoutsFail_ = fails; }
  void SetReadFails(bool fails) { readFails_ = fails; }
  void SetWriteFails(bool fails) { writeFails_ = fails; }
  // The device goes away (an adapter pulled) now, or ms from now: bytes due before then are
  // still read, after it every read and write fails as lost.
  void SetDeviceLost(bool lost) { lostAtMs_ = lost ? clock_.TickMs() : kNoLoss; }
  void SetDeviceLostAfter(uint64_t ms) { lostAtMs_ = clock_.TickMs() + ms; }
  // A pseudo-terminal has no modem lines: SetDtr/SetRts then fail.
  void SetHasModemLines(bool has) { hasModemLines_ = has; }

  // Inspection
  const std::vector<Event>& Events() const { return events_; }
  void ClearEvents() { events_.clear(); }
  // Every byte written since the last ClearEvents(), in order.
  std::vector<uint8_t> Written() const;
  bool Dtr() const { return dtr_; }
  bool Rts() const { return rts_; }
  std::string OpenedPath() const { return path_; }

 private:
  struct Pending {
    uint64_t availableAtMs;
    uint8_t byte;
  };
  void Record(Event::Kind kind, std::vector<uint8_t> data = {}, uint32_t value = 0);

  FakeClock& clock_;
  Peer peer_;
  std::deque<Pending> input_;
  std::vector<Event> events_;
  SerialTimeouts timeouts_{};
  std::string path_;
  uint32_t baud_ = 9600;
  uint32_t lineErrors_ = 0;
  bool open_ = false;
  bool dtr_ = false;
  bool rts_ = false;
  bool openFails_ = false;
  bool baudFails_ = false;
  bool timeoutsFail_ = false;
  bool readFails_ = false;
  bool writeFails_ = false;
  static constexpr uint64_t kNoLoss = ~uint64_t{0};
  uint64_t lostAtMs_ = kNoLoss;
  bool hasModemLines_ = true;
};

}  // namespace platform
