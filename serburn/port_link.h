// The COM port of serburn: opening with its fixed time-outs, the baud rate, the DTR/RTS
// control lines and the reset pulse that restarts the target in boot-ROM or normal mode,
// and the blocking read/write primitives. Errors are class 2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "serburn/reporter.h"
#include "serburn/run_settings.h"

namespace serburn {

// Read: 500 ms between bytes, 750 ms plus 50 ms per byte in all. Write: 100 ms plus 20 ms
// per byte.
platform::SerialTimeouts LinkTimeouts();

constexpr uint32_t kResetPulseMs = 100;

class PortLink {
 public:
  enum class Line { Reset, Mode };
  enum class Pulse { Sent, Skipped, Failed };

  PortLink(platform::SerialPort& port, platform::Clock& clock, const RunSettings& settings, Reporter& reporter)
      : port_(port), clock_(clock), settings_(settings), reporter_(reporter) {}

  // Opens the port named in the settings (through the platform's port-name rule), lowers
  // both control lines and sets the time-outs.
  [[nodiscard]] bool Open();
  void Close() { port_.Close(); }
  bool IsOpen() const { return port_.IsOpen(); }
  [[nodiscard]] bool SetBaud(int32_t rate);
  // Nothing with no pin control or a closed port; else sets the line of that role (DTR for
  // reset and RTS for mode, exchanged with swap pins).
  [[nodiscard]] bool SetLine(Line role, bool on);
  [[nodiscard]] bool Write(const uint8_t* data, size_t count);
  [[nodiscard]] bool WriteByte(uint8_t byte) { return Write(&byte, 1); }
  // Count of bytes read before the time-outs ended the read (0 on time-out).
  [[nodiscard]] size_t Read(uint8_t* buffer, size_t count);
  // One byte, or nothing when none arrived before the time-outs.
  [[nodiscard]] std::optional<uint8_t> ReadByte();
  // Reads up to count bytes in one read and drops them: a reply that is waited for but not
  // judged.
  void SkipBytes(size_t count);
  void DiscardInput();
  void DrainOutput();
  // Returns once more than ms milliseconds have passed, sleeping meanwhile; at once when
  // the port is lost.
  void Wait(uint32_t ms);
  // True once a read or write failed because the device went away (unplugged adapter,
  // hang-up). That is reported once, as a COM-port error; from then on every read returns
  // nothing and every write fails at once, so no caller waits or spins on a dead port.
  bool Lost() const { return lost_; }
  // Mode line on (boot ROM) or off (normal), a 100 ms pulse on the reset line, then the
  // reset wait. Failed means the error was reported.
  [[nodiscard]] Pulse ResetPulse(bool intoBirom);
  // The closing sequence's pulse into normal mode and port close; reports nothing.
  void CloseAfterReset();

  platform::Clock& clock() { return clock_; }

 private:
  void ReportLost();

  platform::SerialPort& port_;
  platform::Clock& clock_;
  const RunSettings& settings_;
  Reporter& reporter_;
  bool quiet_ = false;
  bool lost_ = false;
};

}  // namespace serburn
