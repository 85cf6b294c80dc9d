// The real serial port on Linux: termios2 with BOTHER for any baud rate, TIOCEXCL plus an
// flock for exclusive use, poll() for the Windows time-out model, TIOCGICOUNT for line
// errors, ASYNC_LOW_LATENCY where the driver offers it.
#pragma once

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace platform {

class SerialPortLinux final : public SerialPort {
 public:
  explicit SerialPortLinux(Clock& clock = RealClock());
  ~SerialPortLinux() override;
  SerialPortLinux(const SerialPortLinux&) = delete;
  SerialPortLinux& operator=(const SerialPortLinux&) = delete;

  bool Open(const std::string& devicePath) override;
  int OpenError() const override { return openError_; }
  void Close() override;
  bool IsOpen() const override;
  bool SetBaudRate(uint32_t baud) override;
  uint32_t BaudRate() const override;
  bool SetTimeouts(const SerialTimeouts& timeouts) override;
  SerialTimeouts Timeouts() const override;
  IoResult Read(uint8_t* buffer, size_t count) override;
  IoResult Write(const uint8_t* data, size_t count) override;
  bool Purge(uint32_t flags) override;
  bool Drain() override;
  uint32_t ClearErrors() override;
  bool SetDtr(bool on) override;
  bool SetRts(bool on) override;

 private:
  Clock& clock_;
  int fd_ = -1;
  int openError_ = 0;
  uint32_t baud_ = 0;
  SerialTimeouts timeouts_{};
  // Error counters (frame, overrun, parity, break) at the previous ClearErrors().
  uint32_t lastCounts_[4] = {0, 0, 0, 0};
};

}  // namespace platform
