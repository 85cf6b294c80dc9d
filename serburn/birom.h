// The boot-ROM (BIROM) side of a run: handshake, auto baud, entry into boot-ROM mode, and
// the download and start of a RAM-execute module in the three dialects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "serburn/session.h"

namespace serburn {

constexpr uint32_t kKV41StartAddress = 0x11000;
constexpr size_t kMaxKV41Module = 0x3000;
constexpr size_t kMaxKV40Module = 0xFFFF;

enum class SyncResult { Synced, NotSynced, Failed };

// The dialect's handshake, with its reset pulse into boot-ROM mode.
SyncResult Sync(Session& session);
// KV40 with /a: tries 4800, 9600, 19200.
bool AutoBaud(Session& session);
// One sync (KV40 with no pin control: up to 200), with "Wait RESET MCU." without pin control.
bool EnterBirom(Session& session);
// Reads the module file (class 3 errors) and sets the clock byte.
bool ReadModuleFile(Session& session, const std::string& path, std::vector<uint8_t>& module);
// The dialect's download of the module file.
bool DownloadModule(Session& session, const std::string& path);
// The dialect's start (address used by the newer KV41 dialect only). With /d it may set
// session.stoppedAfterStart and return false.
bool StartModule(Session& session, uint32_t address);

}  // namespace serburn
