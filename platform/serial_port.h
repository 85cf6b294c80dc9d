// One serial-port interface for both programmers, with the Windows time-out model the
// protocols were written against. SerialPortLinux is the real device (termios2);
// FakeSerialPort (fake_serial_port.h) is the in-memory double for unit tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Time-outs in milliseconds; 0 disables that part of the bound.
//  - A read of n bytes returns when n bytes have arrived, when readTotalConstantMs +
//    readTotalPerByteMs * n have passed since the call, or when, after at least one byte
//    arrived, the line stays silent longer than readIntervalMs.
//  - A write of n bytes gives up after writeTotalConstantMs + writeTotalPerByteMs * n.
struct SerialTimeouts {
  uint32_t readIntervalMs = 0;
  uint32_t readTotalPerByteMs = 0;
  uint32_t readTotalConstantMs = 0;
  uint32_t writeTotalPerByteMs = 0;
  uint32_t writeTotalConstantMs = 0;
};

enum PurgeFlags : uint32_t {
  kPurgeInput = 1,   // drop what the driver has received and not yet read
  kPurgeOutput = 2,  // drop what was written and has not yet left
};

// Line-error flags returned by ClearErrors().
enum LineErrorFlags : uint32_t {
  kLineFrameError = 0x08,
  kLineOverrun = 0x02,
  kLineParityError = 0x04,
  kLineBreak = 0x10,
};

// Result of one read or write call: ok is false when the call itself failed (port closed,
// device gone); lost is true when that failure is the device going away (hang-up, adapter
// unplugged), so nothing will come from it again; count is what was transferred before the
// call returned.
struct IoResult {
  bool ok = false;
  bool lost = false;
  size_t count = 0;
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the device exclusively (a port that another of our programs, or any program
  // holding TIOCEXCL, has open fails) in raw 8N1 binary mode, no flow control.
  // An open port is closed first. Returns true when the port is open.
  virtual bool Open(const std::string& devicePath) = 0;
  // errno of the last Open that failed (EBUSY when another program holds the port,
  // ENOTTY when the device is no serial port); 0 when the failure has no such reason.
  virtual int OpenError() const { return 0; }
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Any rate, standard or not. Returns true on success.
  virtual bool SetBaudRate(uint32_t baud) = 0;
  virtual uint32_t BaudRate() const = 0;

  virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
  virtual SerialTimeouts Timeouts() const = 0;

  virtual IoResult Read(uint8_t* buffer, size_t count) = 0;
  virtual IoResult Write(const uint8_t* data, size_t count) = 0;

  // flags: PurgeFlags. Returns true on success.
  virtual bool Purge(uint32_t flags) = 0;
  // Waits until everything written has left the driver. Returns true on success.
  virtual bool Drain() = 0;
  // Returns the LineErrorFlags seen since the previous call (0 = none) and clears them.
  virtual uint32_t ClearErrors() = 0;

  // Modem control lines. Fails (returns false) on a device without them, such as a
  // pseudo-terminal; the caller reports it.
  virtual bool SetDtr(bool on) = 0;
  virtual bool SetRts(bool on) = 0;
};

}  // namespace platform
