// The three boot-ROM (BIROM) dialects as descriptions: how each one is greeted, takes the
// RAM-execute module and starts it, and which of serburn's options it serves. The chip
// resolution picks one description; the boot-ROM steps and the main flow only read it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serburn/run_settings.h"

namespace serburn {

// How the boot ROM is greeted after the reset pulse.
enum class Handshake {
  SyncByte,   // one 0x18, answered by 0x11
  RepeatedV,  // seven "V" 30 ms apart, answered by an "F" among the replies
};

// How the module goes down.
enum class DownloadFrame {
  Short,         // 0x00, 16-bit load address and size (high byte first), the module, its sum;
                 // sent again after a fresh boot-ROM entry until 0x01 answers
  FileThenData,  // a FILE frame (32-bit load address and size, high byte first, and sum),
                 // then the module and its sum; each answered by 0x01, sent once
  Command,       // 0x01 0x03, 24-bit load address, 0, 16-bit size (low byte first), the
                 // module; sent again after a fresh boot-ROM entry until 0xF1 0x83 answers
};

// How the module is started.
enum class StartFrame {
  Short,    // 0x40 and four zeros; one reply byte, not judged
  Exec,     // 0x40, eight zeros, 0x40; answered by "1"
  Command,  // 0x01 0x04 and the 32-bit start address, then its first three bytes again;
            // answered by 0xF1 0x84 and "1"
};

struct BiromDialect {
  const char* seriesName;  // as "Downloading KV40 ..." names it
  Handshake handshake;
  // A chip marked DownloadOption=1 in CHIPDEF.INI: its boot ROM sends its byte without being
  // asked, and its answer to the download is read but not judged.
  bool servesDownloadOption;
  int manualResetSyncs;  // handshakes tried while the board is reset by hand (/t)
  bool autoBaud;         // /a searches the boot ROM's baud rate
  DownloadFrame download;
  size_t minModuleSize;  // a module file of another size is refused as too big
  size_t maxModuleSize;
  StartFrame start;
  uint32_t moduleStartAddress;  // carried by the start command (StartFrame::Command only)
  uint32_t startWaitMs;         // after the switch to ProgBaud
  bool stopsAfterStart;         // /d ends the run once the module runs
  bool autoErase;               // /u runs the auto-erase module before the module of the run
};

inline constexpr BiromDialect kKV40Birom = {
    .seriesName = "KV40",
    .handshake = Handshake::SyncByte,
    .servesDownloadOption = true,
    .manualResetSyncs = 200,
    .autoBaud = true,
    .download = DownloadFrame::Short,
    .minModuleSize = 0,
    .maxModuleSize = 0xFFFF,
    .start = StartFrame::Short,
    .moduleStartAddress = 0,
    .startWaitMs = 100,
    .stopsAfterStart = true,
    .autoErase = false,
};

inline constexpr BiromDialect kOlderKV41Birom = {
    .seriesName = "KV41",
    .handshake = Handshake::SyncByte,
    .servesDownloadOption = false,
    .manualResetSyncs = 1,
    .autoBaud = false,
    .download = DownloadFrame::FileThenData,
    .minModuleSize = 1,
    .maxModuleSize = 0x3000,
    .start = StartFrame::Exec,
    .moduleStartAddress = 0,
    .startWaitMs = 50,
    .stopsAfterStart = false,  // its start always goes on to the flash commands
    .autoErase = true,
};

inline constexpr BiromDialect kNewerKV41Birom = {
    .seriesName = "KV41",
    .handshake = Handshake::RepeatedV,
    .servesDownloadOption = false,
    .manualResetSyncs = 1,
    .autoBaud = false,
    .download = DownloadFrame::Command,
    .minModuleSize = 1,
    .maxModuleSize = 0x3000,
    .start = StartFrame::Command,
    .moduleStartAddress = 0x11000,
    .startWaitMs = 50,
    .stopsAfterStart = true,
    .autoErase = true,
};

// The one KV41 chip whose boot ROM speaks the older dialect: series number 604 (KV41K604).
inline constexpr int32_t kOlderBootRomKV41Series = 604;

// The dialect of a chip of the KV40 or KV41 series with that series number.
const BiromDialect& BiromDialectFor(Series series, int32_t seriesNumber);

}  // namespace serburn
