// The command protocol of the running RAM-execute module and the flash operations built on
// it: test connect, erase, blank check, program, verify, read, and the KV41 auto-erase.
// Protocol errors are class 5, data-file errors class 3.
#pragma once

#include <cstdint>

#include "serburn/session.h"

namespace serburn {

enum : uint8_t {
  kCmdWrite = 0x08,
  kCmdRead = 0x28,
  kCmdErase = 0x38,
  kCmdBlankCheck = 0x48,
  kCmdTestConnect = 0xE8,
};

enum class BlockResult { Done, Retry, Failed };

[[nodiscard]] bool TestConnect(Session& session);
// Sends the command with its 24-bit address and waits for its completion reply.
[[nodiscard]] bool Command(Session& session, uint8_t code, uint32_t address);
// Sends one 512-byte block with its CRC and evaluates the two reply bytes.
[[nodiscard]] BlockResult WriteBlock(Session& session, const uint8_t* block);
// Receives one 515-byte read frame into frame (512 data bytes, CRC, status).
[[nodiscard]] BlockResult ReadBlock(Session& session, uint8_t* frame);
[[nodiscard]] bool IsBlankBlock(const uint8_t* block);

[[nodiscard]] bool Erase(Session& session);
[[nodiscard]] bool BlankCheck(Session& session);
[[nodiscard]] bool Program(Session& session);
[[nodiscard]] bool Verify(Session& session);
[[nodiscard]] bool ReadOut(Session& session);
// KV41 with /u: downloads and starts ae_flash.725 and waits for its result.
[[nodiscard]] bool AutoErase(Session& session);

}  // namespace serburn
