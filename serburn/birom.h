// The boot-ROM (BIROM) side of a run: handshake, auto baud, entry into boot-ROM mode, and
// the download and start of a RAM-execute module, each as the chip's dialect
// (settings.dialect) describes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "serburn/session.h"

namespace serburn {

enum class SyncResult { Synced, NotSynced, Failed };

// How a module start ended.
enum class StartResult {
  Started,            // the module runs at ProgBaud (or, as auto-erase module, on its own)
  StoppedAfterStart,  // /d: the module runs and the run ends here, with exit code 0
  Failed,             // the error was reported
};

// The dialect's handshake, with its reset pulse into boot-ROM mode.
[[nodiscard]] SyncResult Sync(Session& session);
// With /a, where the dialect serves it: tries 4800, 9600, 19200.
[[nodiscard]] bool AutoBaud(Session& session);
// One sync (with no pin control: as many as the dialect allows for the reset by hand), with
// "Wait RESET MCU." without pin control.
[[nodiscard]] bool EnterBirom(Session& session);
// Reads the module file (class 3 errors) and sets the clock byte.
[[nodiscard]] bool ReadModuleFile(Session& session, const std::string& path, std::vector<uint8_t>& module);
// The dialect's download of the module file.
[[nodiscard]] bool DownloadModule(Session& session, const std::string& path);
// The dialect's start of the downloaded module.
[[nodiscard]] StartResult StartModule(Session& session);

}  // namespace serburn
