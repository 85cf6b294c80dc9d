// The serial port as the link uses it: opened for one command at a time, fixed line
// settings and time-outs, single bytes for the handshake and status bytes, one call per
// 514-byte frame.
#include "flash/link/flash_link.h"
#include "flash/link/messages.h"
#include "platform/port_diagnosis.h"
#include "platform/port_names.h"

namespace flash {
namespace {

// Every part of every bound is 100 ms: a one-byte read gives up after 200 ms, a frame
// read ends 100 ms after the line falls silent.
constexpr platform::SerialTimeouts kLinkTimeouts{100, 100, 100, 100, 100};

}  // namespace

int FlashLink::OpenComPort(int comNumber, uint32_t baud) {
  CloseComPort();
  const std::string device = platform::ComPortDevice(comNumber);
  if (!port_.Open(device)) {
    // The message's detail says which device was tried, why it failed and what to do.
    if (port_.OpenError() != 0) {
      std::string detail;
      for (const std::string& line : platform::DescribeOpenFailure(device, port_.OpenError())) {
        detail += (detail.empty() ? " " : "\r\n ") + line;
      }
      SetErrorDetail(detail);
    }
    return kMsgCannotOpenPort;
  }
  linkLost_ = false;
  if (!port_.SetTimeouts(kLinkTimeouts)) return kMsgCannotChangePortSetting;
  if (!port_.SetBaudRate(baud)) return kMsgCannotChangePortSetting;
  lineBaud_ = baud;
  return 0;
}

void FlashLink::CloseComPort() {
  if (port_.IsOpen()) port_.Close();
}

bool FlashLink::PortOpen() const { return port_.IsOpen(); }

int FlashLink::ChangeBaudRate(uint32_t baud) {
  if (!port_.IsOpen()) return kMsgCannotGetPortInfo;
  if (!port_.SetBaudRate(baud)) return kMsgCannotChangePortSetting;
  lineBaud_ = baud;
  commandBaud_ = baud;
  return 0;
}

bool FlashLink::WriteByte(uint8_t byte) {
  // After a fatal report closed the port, the command is over: no second report.
  if (linkLost_) return false;
  if (!port_.Write(&byte, 1).ok) {
    ReportMessage(kMsgPortWriteError, kFatal, kErrorSound);
    return false;
  }
  return true;
}

uint8_t FlashLink::ReadByte() {
  if (linkLost_) return 0;
  uint8_t byte = 0;
  if (!port_.Read(&byte, 1).ok) {
    ReportMessage(kMsgPortReadError, kFatal, kErrorSound);
    return 0;
  }
  return byte;
}

uint8_t FlashLink::ReadByteWithin(int seconds) {
  const uint64_t start = clock_.TickMs();
  const uint64_t limitMs = static_cast<uint64_t>(seconds) * 1000u;
  for (;;) {
    const uint8_t byte = ReadByte();
    if (byte != 0) return byte;
    if (linkLost_) return 0xFF;
    if (clock_.TickMs() - start > limitMs) return 0xFF;
  }
}

bool FlashLink::WriteBytes(const uint8_t* data, size_t count) {
  if (linkLost_) return false;
  return port_.Write(data, count).ok;
}

bool FlashLink::ReadBytes(uint8_t* buffer, size_t count) {
  if (linkLost_) return false;
  const platform::IoResult result = port_.Read(buffer, count);
  // A short frame keeps no stale bytes from an earlier block; its CRC test then fails.
  for (size_t i = result.count; i < count; ++i) buffer[i] = 0;
  return result.ok;
}

void FlashLink::PurgeComPort(PurgeWhat what) {
  port_.Purge(what == PurgeWhat::kInputOnly
                  ? static_cast<uint32_t>(platform::kPurgeInput)
                  : static_cast<uint32_t>(platform::kPurgeInput | platform::kPurgeOutput));
}

uint32_t FlashLink::ClearComErrors() { return port_.ClearErrors(); }

}  // namespace flash
