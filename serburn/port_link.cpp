#include "serburn/port_link.h"

#include <vector>

#include "platform/port_diagnosis.h"
#include "platform/port_names.h"

namespace serburn {

platform::SerialTimeouts LinkTimeouts() {
  platform::SerialTimeouts t;
  t.readIntervalMs = 500;
  t.readTotalPerByteMs = 50;
  t.readTotalConstantMs = 750;
  t.writeTotalPerByteMs = 20;
  t.writeTotalConstantMs = 100;
  return t;
}

bool PortLink::Open() {
  const std::string device = platform::ResolvePortName(settings_.portName);
  if (!port_.Open(device)) {
    reporter_.Error(ErrorClass::ComPort, "unable to open COM");
    if (port_.OpenError() != 0) {
      for (const std::string& line : platform::DescribeOpenFailure(device, port_.OpenError())) reporter_.Detail(line);
    }
    return false;
  }
  // Both lines off, as the device settings are written at opening. A device without
  // modem lines (a pseudo-terminal) has nothing to lower.
  port_.SetDtr(false);
  port_.SetRts(false);
  if (!port_.SetTimeouts(LinkTimeouts())) return reporter_.Error(ErrorClass::ComPort, "unable to set timeouts for COM");
  return true;
}

bool PortLink::SetBaud(int32_t rate) {
  if (rate <= 0 || !port_.SetBaudRate(static_cast<uint32_t>(rate))) {
    return reporter_.Error(ErrorClass::ComPort, "unable to set baudrate");
  }
  return true;
}

bool PortLink::SetLine(Line role, bool on) {
  if (settings_.noPinControl || !port_.IsOpen()) return true;
  const bool dtr = (role == Line::Reset) != settings_.swapPins;
  const bool ok = dtr ? port_.SetDtr(on) : port_.SetRts(on);
  if (ok) return true;
  if (quiet_) return false;
  return reporter_.Error(ErrorClass::ComPort, "unable to control state of DTR/RTS pins");
}

void PortLink::ReportLost() {
  if (lost_) return;
  lost_ = true;
  reporter_.Error(ErrorClass::ComPort, "COM port lost (device removed or hung up)");
  reporter_.Mute();
}

bool PortLink::Write(const uint8_t* data, size_t count) {
  if (lost_) return false;
  const platform::IoResult r = port_.Write(data, count);
  if (r.lost) {
    ReportLost();
    return false;
  }
  if (!r.ok || r.count < count) return reporter_.Error(ErrorClass::ComPort, "unable to write to COM");
  return true;
}

size_t PortLink::Read(uint8_t* buffer, size_t count) {
  if (lost_) return 0;
  const platform::IoResult r = port_.Read(buffer, count);
  if (r.lost) ReportLost();
  return r.count;
}

std::optional<uint8_t> PortLink::ReadByte() {
  uint8_t byte = 0;
  if (Read(&byte, 1) != 1) return std::nullopt;
  return byte;
}

void PortLink::SkipBytes(size_t count) {
  std::vector<uint8_t> dropped(count);
  static_cast<void>(Read(dropped.data(), count));
}

void PortLink::DiscardInput() {
  if (!lost_) port_.Purge(platform::kPurgeInput);
}

void PortLink::DrainOutput() {
  if (!lost_) port_.Drain();
}

void PortLink::Wait(uint32_t ms) {
  if (lost_) return;
  const uint64_t start = clock_.TickMs();
  for (;;) {
    const uint64_t elapsed = clock_.TickMs() - start;
    if (elapsed > ms) return;
    clock_.SleepMs(static_cast<uint32_t>(ms - elapsed + 1));
  }
}

PortLink::Pulse PortLink::ResetPulse(bool intoBirom) {
  if (settings_.noPinControl || !port_.IsOpen() || lost_) return Pulse::Skipped;
  if (!SetLine(Line::Mode, intoBirom)) return Pulse::Failed;
  if (!SetLine(Line::Reset, true)) return Pulse::Failed;
  Wait(kResetPulseMs);
  if (!SetLine(Line::Reset, false)) return Pulse::Failed;
  Wait(settings_.resetWaitMs);
  return Pulse::Sent;
}

void PortLink::CloseAfterReset() {
  quiet_ = true;
  static_cast<void>(ResetPulse(false));  // the closing sequence reports nothing
  quiet_ = false;
  port_.Close();
}

}  // namespace serburn
