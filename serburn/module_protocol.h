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

bool TestConnect(Session& session);
// Sends the command with its 24-bit address and waits for its completion reply.
bool Command(Session& session, uint8_t code, uint32_t address);
// Sends one 512-byte block with its CRC and evaluates the two reply bytes.
BlockResult WriteBlock(Session& session, const uint8_t* block);
// Receives one 515-byte read frame into frame (512 data bytes, CRC, status).
BlockResult ReadBlock(Session& session, uint8_t* frame);
bool IsBlankBlock(const uint8_t* block);

bool Erase(Session& session);
bool BlankCheck(Session& session);
bool Program(Session& session);
bool Verify(Session& session);
bool ReadOut(Session& session);
// KV41 with /u: downloads and starts ae_flash.725 and waits for its result.
bool AutoErase(Session& session);

}  // namespace serburn
