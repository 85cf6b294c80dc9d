// Makes the link's own time-outs (5 s for a status, 60 s for an erase) pass in a fraction of
// a second over a real port: FastForwardClock is the real clock plus the time jumped over,
// and SilenceFastForwardPort, standing between the link and the real port, jumps that clock
// forward when the line stays silent. Until fast-forwarding is switched on both only pass
// through: the link runs on real time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace flash::testing {

class FastForwardClock final : public platform::Clock {
 public:
  uint64_t TickMs() override { return platform::RealClock().TickMs() + jumpedMs_; }
  void SleepMs(uint32_t ms) override { platform::RealClock().SleepMs(ms); }
  platform::CalendarTime Now() override;
  void Jump(uint64_t ms) { jumpedMs_ += ms; }

 private:
  uint64_t jumpedMs_ = 0;
};

// With fast-forwarding on, every read that ends with fewer bytes than asked (silence), after
// the first kSilentReadsInRealTime since the last write, moves the clock on by kJumpMs, more
// than the link's longest time-out (an erase's 60 s). So a reply that is merely slow (a
// board's pause of a few hundred milliseconds) still arrives in real time, while a reply
// that never comes runs into the link's time-out at once. Reads that fail (a device gone)
// never move the clock.
class SilenceFastForwardPort final : public platform::SerialPort {
 public:
  static constexpr int kSilentReadsInRealTime = 2;
  static constexpr uint64_t kJumpMs = 61000;

  SilenceFastForwardPort(platform::SerialPort& port, FastForwardClock& clock) : port_(port), clock_(clock) {}
  void FastForward(bool on) { fastForward_ = on; }

  bool Open(const std::string& devicePath) override { return port_.Open(devicePath); }
  int OpenError() const override { return port_.OpenError(); }
  void Close() override { port_.Close(); }
  bool IsOpen() const override { return port_.IsOpen(); }
  bool SetBaudRate(uint32_t baud) override { return port_.SetBaudRate(baud); }
  uint32_t BaudRate() const override { return port_.BaudRate(); }
  bool SetTimeouts(const platform::SerialTimeouts& timeouts) override { return port_.SetTimeouts(timeouts); }
  platform::SerialTimeouts Timeouts() const override { return port_.Timeouts(); }
  platform::IoResult Read(uint8_t* buffer, size_t count) override;
  platform::IoResult Write(const uint8_t* data, size_t count) override;
  bool Purge(uint32_t flags) override { return port_.Purge(flags); }
  bool Drain() override { return port_.Drain(); }
  uint32_t ClearErrors() override { return port_.ClearErrors(); }
  bool SetDtr(bool on) override { return port_.SetDtr(on); }
  bool SetRts(bool on) override { return port_.SetRts(on); }

 private:
  platform::SerialPort& port_;
  FastForwardClock& clock_;
  bool fastForward_ = false;
  int silentReads_ = 0;  // since the last write
};

}  // namespace flash::testing
