// A minimal programmer of the tests' own, over a real serial device (the kvsim pty): just
// enough of each boot-ROM dialect and of the program commands to drive the board.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial_port_linux.h"

namespace kvsim_test {

using Bytes = std::vector<uint8_t>;

uint16_t XmodemCrc(const uint8_t* data, size_t length);

class MiniHost {
 public:
  bool Open(const std::string& device, uint32_t baud);
  bool SetBaud(uint32_t baud) { return port_.SetBaudRate(baud); }
  void Purge() { port_.Purge(platform::kPurgeInput); }

  bool Send(const Bytes& bytes);
  // Up to count bytes, waiting at most timeoutMs for all of them.
  Bytes Receive(size_t count, uint32_t timeoutMs = 2000);
  std::optional<uint8_t> ReceiveByte(uint32_t timeoutMs = 2000);
  // Whether the last Receive failed as a call (the device hung up), not merely timed out.
  bool ReceiveFailed() const { return receiveFailed_; }

  // Boot ROM of the GUI programmer's chips, and the KV40 BIROM: 0x18 / load / 0x18 / start.
  // Returns the four reply bytes (0xFF for a missing one).
  Bytes BootRomDownload(const Bytes& image, uint16_t loadAddress);
  // Older KV41: sync, FILE header, data, EXEC. Returns the reply bytes received.
  Bytes Kv41OldDownload(const Bytes& image, uint32_t loadAddress);
  // Newer KV41: seven 'V', load frame, start frame and its first three bytes again.
  Bytes Kv41Sync();
  Bytes Kv41Load(const Bytes& image, uint32_t loadAddress);
  Bytes Kv41Start(uint32_t address);

  // Program commands. Command() returns the bytes up to and including the first byte that
  // is neither '0' nor NUL (empty on time-out), so tests can look at '0' and what follows.
  Bytes Command(uint8_t code, uint32_t address, uint32_t timeoutMs = 2000);
  // Write block: command, frame; returns the status after the frame ("01", "5", "04").
  Bytes WriteBlock(uint32_t address, const Bytes& data, bool corruptCrc = false);
  // Read block: command; fills frame with the 515 bytes after "01" (fewer on a short frame).
  Bytes ReadBlock(uint32_t address, Bytes& frame);

 private:
  platform::SerialPortLinux port_;
  bool receiveFailed_ = false;
};

// The load frame of the GUI boot ROM and the KV40 BIROM: 0x00, address, length, image, sum.
Bytes BootLoadFrame(const Bytes& image, uint16_t loadAddress);

// The program image with byte 2 set to clockByte.
Bytes WithClockByte(Bytes image, uint8_t clockByte);
Bytes ReadFile(const std::string& path);

}  // namespace kvsim_test
