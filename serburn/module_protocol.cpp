#include "serburn/module_protocol.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "serburn/birom.h"
#include "serburn/crc16.h"
#include "serburn/data_image.h"

namespace serburn {

namespace {

constexpr uint8_t kAsk = 0x30;       // "0"
constexpr uint8_t kOk = 0x31;        // "1"
constexpr uint8_t kFailed = 0x34;    // "4"
constexpr uint8_t kCrcError = 0x35;  // "5"
constexpr uint8_t kAutoEraseDone = 0xFF;
constexpr int kErasePolls = 50;
constexpr int kAutoErasePolls = 50;
constexpr int kAutoEraseReads = 49;
constexpr uint32_t kPollMs = 1000;
constexpr uint64_t kBlankCheckMs = 5000;
constexpr size_t kWriteFrameSize = kBlockSize + 2;
constexpr size_t kReadFrameSize = kBlockSize + 3;
constexpr int kShortFrameRetries = 2;
constexpr const char* kAutoEraseModule = "ae_flash.725";

bool ModuleError(Session& s, const std::string& text) { return s.reporter.Error(ErrorClass::RamExecute, text); }

std::string WrongTestReply(uint8_t received) {
  char text[120];
  std::snprintf(text, sizeof text, "received wrong reply during test connect. Received=0x%02x, must be=0x%02x",
                unsigned{received}, unsigned{kOk});
  return text;
}

// Waits for the completion byte of a command; nothing when none arrived.
[[nodiscard]] std::optional<uint8_t> AwaitCompletion(Session& s, uint8_t code) {
  if (code == kCmdErase) {
    s.reporter.Progress('i');
    for (int i = 0; i < kErasePolls && !s.link.Lost(); ++i) {
      s.reporter.Progress('.');
      s.link.Wait(kPollMs);
      if (const std::optional<uint8_t> reply = s.link.ReadByte()) return reply;
    }
    return std::nullopt;
  }
  if (code == kCmdBlankCheck) {
    platform::Clock& clock = s.link.clock();
    const uint64_t begin = clock.TickMs();
    do {
      if (const std::optional<uint8_t> reply = s.link.ReadByte()) return reply;
    } while (!s.link.Lost() && clock.TickMs() - begin < kBlankCheckMs);
    return std::nullopt;
  }
  return s.link.ReadByte();
}

// Sends command for the block at address and transfers the block, again while the transfer
// asks for a retry; false on a reported error.
template <typename Transfer>
[[nodiscard]] bool BlockCommandAt(Session& s, uint8_t command, uint32_t address, Transfer transfer) {
  for (;;) {
    if (!Command(s, command, address)) return false;
    const BlockResult r = transfer();
    if (r == BlockResult::Done) return true;
    if (r == BlockResult::Failed) return false;
  }
}

[[nodiscard]] bool WriteBlockAt(Session& s, uint32_t address, const uint8_t* block) {
  return BlockCommandAt(s, kCmdWrite, address, [&] { return WriteBlock(s, block); });
}

[[nodiscard]] bool ReadBlockAt(Session& s, uint32_t address, uint8_t* frame) {
  return BlockCommandAt(s, kCmdRead, address, [&] { return ReadBlock(s, frame); });
}

// The erase and blank-check commands: one command for the whole device, reported "Ok".
[[nodiscard]] bool DeviceCommand(Session& s, const char* label, uint8_t command) {
  s.reporter.Info(label);
  if (!Command(s, command, s.settings.startAddress)) return false;
  s.reporter.Append(" Ok");
  return true;
}

// Runs action(address, block) on every block of the data image from the start address on;
// a blank block is marked "." and skipped when skipBlank. Reported "Ok" at the end.
template <typename Action>
[[nodiscard]] bool ForEachDataBlock(Session& s, const char* label, bool skipBlank, Action action) {
  s.reporter.Info(label);
  s.reporter.Progress('i');
  const std::vector<uint8_t>& image = s.dataImage;
  uint64_t address = s.settings.startAddress;
  for (size_t offset = 0; offset + kBlockSize <= image.size() && address <= s.settings.endAddress;
       offset += kBlockSize, address += kBlockSize) {
    const uint8_t* block = image.data() + offset;
    if (skipBlank && IsBlankBlock(block)) {
      s.reporter.Progress('.');
      continue;
    }
    if (!action(static_cast<uint32_t>(address), block)) return false;
  }
  s.reporter.Append(" Ok");
  return true;
}

}  // namespace

bool IsBlankBlock(const uint8_t* block) {
  for (size_t i = 0; i < kBlockSize; ++i) {
    if (block[i] != 0xFF) return false;
  }
  return true;
}

bool TestConnect(Session& s) {
  s.link.DiscardInput();
  if (!s.link.WriteByte(kCmdTestConnect)) return false;
  const std::optional<uint8_t> reply = s.link.ReadByte();
  if (!reply) return ModuleError(s, "not received reply during test connect");
  if (*reply != kOk) return ModuleError(s, WrongTestReply(*reply));
  return true;
}

bool Command(Session& s, uint8_t code, uint32_t address) {
  s.link.DiscardInput();
  const uint8_t frame[4] = {code, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                            static_cast<uint8_t>(address >> 16)};
  if (!s.link.Write(frame, sizeof frame)) return false;
  const std::optional<uint8_t> ask = s.link.ReadByte();
  if (!ask) return ModuleError(s, "not received ASK reply on command");
  if (*ask != kAsk) return ModuleError(s, "received wrong ASK reply on command");
  const std::optional<uint8_t> reply = AwaitCompletion(s, code);
  if (!reply) return ModuleError(s, "not received valid OK reply on command");
  if (*reply == kOk) return true;
  if (*reply == kFailed) return ModuleError(s, "COMMAND fails");
  return ModuleError(s, "received wrong reply on command");
}

BlockResult WriteBlock(Session& s, const uint8_t* block) {
  std::array<uint8_t, kWriteFrameSize> frame{};
  std::copy(block, block + kBlockSize, frame.begin());
  const uint16_t crc = Crc16Xmodem(block, kBlockSize);
  frame[kBlockSize] = static_cast<uint8_t>(crc >> 8);
  frame[kBlockSize + 1] = static_cast<uint8_t>(crc);
  if (!s.link.Write(frame.data(), frame.size())) return BlockResult::Failed;
  s.link.DrainOutput();
  uint8_t reply[2] = {0, 0};
  const size_t n = s.link.Read(reply, 2);
  if (n == 1 && reply[0] == kCrcError) {
    if (++s.transmitCrcErrors >= 2) {
      ModuleError(s, "CRC error in transmit data block");
      return BlockResult::Failed;
    }
    return BlockResult::Retry;
  }
  s.transmitCrcErrors = 0;
  if (n != 2) {
    ModuleError(s, "not received valid reply during 'write block'");
    return BlockResult::Failed;
  }
  if (reply[0] == kAsk && reply[1] == kOk) {
    s.writeFailures = 0;
    return BlockResult::Done;
  }
  if (reply[0] == kAsk && reply[1] == kFailed) {
    if (++s.writeFailures >= 2) {
      ModuleError(s, "'write block' fails");
      return BlockResult::Failed;
    }
    return BlockResult::Retry;
  }
  ModuleError(s, "received wrong reply on command 'write block'");
  return BlockResult::Failed;
}

BlockResult ReadBlock(Session& s, uint8_t* frame) {
  if (s.link.Read(frame, kReadFrameSize) < kReadFrameSize) {
    if (++s.shortFrames > kShortFrameRetries) {
      ModuleError(s, "received data block has incorrect size");
      return BlockResult::Failed;
    }
    return BlockResult::Retry;
  }
  s.shortFrames = 0;
  if (frame[kReadFrameSize - 1] != kOk) {
    ModuleError(s, "CRC error in received data block");
    return BlockResult::Failed;
  }
  const uint16_t received = static_cast<uint16_t>((frame[kBlockSize] << 8) | frame[kBlockSize + 1]);
  if (Crc16Xmodem(frame, kBlockSize) != received) {
    if (++s.receiveCrcErrors >= 2) {
      ModuleError(s, "CRC error in received data block");
      return BlockResult::Failed;
    }
    return BlockResult::Retry;
  }
  return BlockResult::Done;
}

bool Erase(Session& s) {
  if (!DeviceCommand(s, "Erase  : ", kCmdErase)) return false;
  s.flashErased = true;
  return true;
}

bool BlankCheck(Session& s) { return DeviceCommand(s, "Check  : ", kCmdBlankCheck); }

bool Program(Session& s) {
  // A blank block needs no writing: erased flash already holds it.
  return ForEachDataBlock(s, "Program: ", true, [&](uint32_t address, const uint8_t* block) {
    if (!WriteBlockAt(s, address, block)) return false;
    s.reporter.Progress('p');
    return true;
  });
}

bool Verify(Session& s) {
  // A blank block is known to be in the flash only where this run erased it; anywhere else
  // it is read and compared like every other block.
  std::array<uint8_t, kReadFrameSize> frame{};
  return ForEachDataBlock(s, "Verify : ", s.flashErased, [&](uint32_t address, const uint8_t* block) {
    if (!ReadBlockAt(s, address, frame.data())) return false;
    for (size_t i = 0; i < kBlockSize; ++i) {
      if (frame[i] != block[i]) {
        char text[120];
        std::snprintf(text, sizeof text, "Verify FAIL. Address=0x%06lx: readed=0x%02x, must be=0x%02x ",
                      static_cast<unsigned long>(address + i), unsigned{frame[i]}, unsigned{block[i]});
        return ModuleError(s, text);
      }
    }
    s.reporter.Progress('v');
    return true;
  });
}

bool ReadOut(Session& s) {
  s.reporter.Info("Read   : ");
  s.reporter.Progress('i');
  std::array<uint8_t, kReadFrameSize> frame{};
  for (uint64_t address = s.settings.startAddress; address <= s.settings.endAddress; address += kBlockSize) {
    if (!ReadBlockAt(s, static_cast<uint32_t>(address), frame.data()) ||
        !s.readOut.WriteBlock(static_cast<uint32_t>(address), frame.data(), s.reporter)) {
      s.readOut.Abandon();
      return false;
    }
    s.reporter.Progress('r');
  }
  if (!s.readOut.Commit(s.reporter)) return false;
  s.reporter.Append(" Ok");
  return true;
}

bool AutoErase(Session& s) {
  s.settings.erase = false;
  const std::string module = s.settings.overlayDirectory + kAutoEraseModule;
  if (!DownloadModule(s, module)) return false;
  s.autoEraseStart = true;
  const StartResult started = StartModule(s);
  s.autoEraseStart = false;
  if (started != StartResult::Started) return false;
  s.reporter.Info("AutoErase    : ");
  s.reporter.Progress('i');
  std::optional<uint8_t> reply;
  for (int i = 0; i < kAutoErasePolls && !reply && !s.link.Lost(); ++i) {
    s.reporter.Progress('.');
    s.link.Wait(kPollMs);
    if (i < kAutoEraseReads) reply = s.link.ReadByte();
  }
  if (!reply) return ModuleError(s, "not received valid reply during autoerase");
  if (*reply != kAutoEraseDone) return ModuleError(s, "autoerase fails");
  s.flashErased = true;
  s.reporter.Append(" Ok");
  return true;
}

}  // namespace serburn
