#include "sim/options.h"

#include <cstdlib>

#include "sim/fault_plan.h"

namespace kvsim {

namespace {

bool ToNumber(const std::string& text, uint64_t max, uint64_t& value) {
  if (text.empty() || text[0] == '-') return false;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || v > max) return false;
  value = v;
  return true;
}

}  // namespace

std::string ParseOptions(const std::vector<std::string>& args, Options& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a == "--version") {
      o.version = true;
      continue;
    }
    if (a == "--pace") {
      o.pace = true;
      continue;
    }
    if (a == "--start-normal") {
      o.startNormal = true;
      continue;
    }
    if (i + 1 >= args.size()) return "option " + a + " needs a value (or is unknown)";
    const std::string& v = args[++i];
    uint64_t n = 0;
    auto number = [&](uint64_t max) -> bool { return ToNumber(v, max, n); };
    if (a == "--link") {
      o.link = v;
    } else if (a == "--chipdef") {
      o.chipdef = v;
    } else if (a == "--chip") {
      o.chip = v;
    } else if (a == "--clock") {
      o.clock = v;
    } else if (a == "--dialect") {
      if (!ParseDialect(v, o.dialect)) return "unknown dialect '" + v + "' (boot, kv40, kv41-604, kv41)";
    } else if (a == "--flash-image") {
      o.flashImage = v;
    } else if (a == "--event-log") {
      o.eventLog = v;
    } else if (a == "--control-file") {
      o.controlFile = v;
    } else if (a == "--fault") {
      o.faults.push_back(v);
    } else if (a == "--erase-ms" || a == "--program-ms" || a == "--blank-ms") {
      if (!number(3600000)) return "bad value for " + a;
      (a == "--erase-ms" ? o.eraseMs : a == "--program-ms" ? o.programMs : o.blankMs) = static_cast<int64_t>(n);
    } else if (a == "--boot-baud" || a == "--command-baud") {
      if (!number(4000000) || n == 0) return "bad value for " + a;
      (a == "--boot-baud" ? o.bootBaud : o.commandBaud) = static_cast<uint32_t>(n);
    } else if (a == "--frame-timeout-ms") {
      if (!number(600000) || n == 0) return "bad value for " + a;
      o.frameTimeoutMs = static_cast<uint32_t>(n);
    } else {
      return "unknown option " + a;
    }
  }
  if (o.help || o.version) return "";
  if (o.link.empty() || o.chipdef.empty() || o.chip.empty() || o.clock.empty() || o.flashImage.empty()) {
    return "--link, --chipdef, --chip, --clock and --flash-image are required (see --help)";
  }
  return "";
}

std::string HelpText() {
  std::string text = R"(Usage: kvsim --link PATH --chipdef FILE --chip NAME --clock LABEL
             [--dialect boot|kv40|kv41-604|kv41] --flash-image FILE [--event-log FILE]
             [--fault FAULT ...] [--pace] [--erase-ms N] [--program-ms N] [--blank-ms N]
             [--boot-baud N] [--command-baud N] [--frame-timeout-ms N]
             [--control-file FILE] [--start-normal]
       kvsim --help | --version

A simulated target board on a pseudo-terminal. kvsim opens a pseudo-terminal, makes PATH a
symbolic link to its slave device, prints the slave's device path as the first line on
standard output, and serves until SIGTERM or SIGINT (exit code 0, link and control file
removed). Open PATH (or the printed device) in a programmer as its serial port.
While it runs, the board is registered in $XDG_RUNTIME_DIR/kvflash/<pid>.board (its link
and chip), so `serburn --list-ports` lists it as simulated.

The board
  --chipdef FILE, --chip NAME   the board's chip: a CHIPDEF.INI section (name compared without
                                case; a section BASE/V1/V2 also answers to the first 8
                                characters of BASE followed by V1 or V2). Its flash areas,
                                Clock, Baud, Baud2 (or twice Baud), LoadAddress and
                                DownloadOption are used.
  --clock LABEL                 the crystal fitted: one of the chip's Clock labels. Its
                                position (from 0) is the clock index.
  --dialect D                   the boot ROM: boot = the GUI programmer's boot ROM (default);
                                kv40, kv41-604, kv41 = the console programmer's BIROMs.
  --boot-baud N                 boot-ROM line rate (default: the chip's Baud at the clock index)
  --command-baud N              rate of the started program when its clock byte is right
                                (default: Baud2 at the clock index, or twice Baud)

Line rates. The board reads the rate the programmer set on the slave (TCGETS2 on the
master, any rate). Bytes sent at a rate more than 3 % away from the rate the board listens
on are line garbage: the board drops them (framing errors). Bytes the board sends while the
programmer's rate is wrong arrive inverted (garbage). So a wrong baud switch fails as on a
real line.

Boot ROMs (all start in boot mode; a reset clears RAM)
  boot, kv40    0x18 -> 0x11 (sync; needed before anything else).
                0x00 AH AL LH LL <L bytes> SUM -> 0x01 (loaded) or 0x15 (bad sum; SUM is the
                sum of the address, length and image bytes modulo 256).
                0x40 00 00 00 00 -> starts the loaded program, which answers '1'.
                boot only: after a load frame it needs a new sync before it takes anything.
                With DownloadOption=1 the chip's ROM needs no sync and answers 0x13 to the
                sync and 0x06 to a good load frame.
  kv41-604      0x18 -> 0x11. FILE header 0x00, 32-bit address, 32-bit length (most
                significant byte first), sum of the 9 bytes -> 0x01 (length 1..12288) or 0x15;
                then the module bytes and their sum -> 0x01 or 0x15.
                0x40, eight 0x00, 0x40 -> starts the module, which answers '1'.
  kv41          'V' -> 'F' for every 'V' (baud detection; needed before anything else).
                01 03 A0 A1 A2 00 L0 L1 <L bytes> -> F1 83 SUMLO SUMHI (L 1..12288) or
                F2 83 00 00. 01 04 A0 A1 A2 A3, then 01 04 A0 again -> F1 84 and the
                started program's '1'; without the repeated bytes F2 84 00.
  A frame left incomplete for --frame-timeout-ms (default 1000) is dropped.

Programs (the control programs, RAM-execute modules and auto-erase module of data/): a
16-byte header "KV", clock byte, kind ('C' control program, 'M' module, 'A' auto-erase),
32-bit link address (little endian), 16-bit body length, body CRC-16 (high byte first),
"KVSB"; then the body. On start the board checks the image: header, length, CRC, and that
it was loaded at its link address (kv41: also started there); else the program hangs and
never answers. Byte 2 must be the clock index (the console programmer writes its clock
index less one, which is the same number). A program told the wrong crystal still answers
'1' to the start, then runs its line at the command rate of the crystal it was told about
(a clock byte past the Clock list: at no usable rate) and times its flash pulses wrongly:
every erase and block write fails ('4'). The exec event shows clock_byte and clock_index.
An auto-erase program ('A'; kv41: started at 0x11000) answers '1', is silent while it
erases every area (taking the erase time when any sector holds data), sends 0xFF at the
BIROM rate, and returns to the (still synchronised) BIROM.

Program commands, at the program's rate (addresses 24-bit, least significant byte first)
  E8            -> '1'
  38 A0 A1 A2   erase every area byte from A (whole flash from the first area) -> '0', then
                after the erase time '1', or '4' (A not in flash).
  48 A0 A1 A2   blank check from A to the end of the flash -> '0', then '1', or '4' and six
                detail bytes: the address of the first word not erased (4 bytes, most
                significant first) and its two bytes.
  08 A0 A1 A2   write block -> '0' '1' (or '0' '4': A not a multiple of 512 inside an area;
                where an area ends inside the block, the bytes beyond it are skipped); then
                514 bytes (data, CRC-16/XMODEM high byte first) -> '5' on a CRC error, else
                '0', then after the program time '1', or '4' when a bit would have to go
                from 0 to 1 (NOR flash: programming only clears bits).
  28 A0 A1 A2   read block -> '0' '1', 512 data bytes (0xFF beyond an area), CRC high, CRC
                low, '1'; or '0' '4' as for a write.
  Other bytes are ignored.

Flash image: --flash-image FILE holds the raw bytes of the whole address range covered by
the chip's areas: offset = address - (first area's start), size = (last area's end) -
(first area's start) + 1. Bytes in gaps between areas stay 0xFF and cannot be written. A
missing file starts as all 0xFF; an existing file of the right size is the flash's
contents. After every change the changed bytes are written into it in place (the whole
file, atomically by temp file and rename, when it is missing or of another size), before
the reply that reports the change goes out.

Resets (a pseudo-terminal has no DTR/RTS): SIGUSR1 = reset into boot mode (reset button, or
the pulse into BIROM mode); SIGUSR2 = reset into normal mode (the user program runs and
nothing answers). With --control-file FILE kvsim creates a FIFO there; a line "boot" or
"normal" written to it resets likewise, "quit" stops kvsim. The board starts in boot mode
(--start-normal: in normal mode).

Timing: immediate by default. --pace sends and takes bytes at the line rate (10 bits a
byte) and makes erase (default 2000 ms), block program (6 ms) and blank check (40 ms)
take time; --erase-ms, --program-ms, --blank-ms set these times with or without --pace.
Paced, a byte the programmer writes arrives 10 bits' time after it was written, and not
before the one written before it is through; the board acts on a frame when its last byte
has arrived and answers at once (after the flash time), its bytes back to back at its
rate. All times are absolute deadlines on CLOCK_MONOTONIC (timerfd), so waiting does not
add up. Reply bytes reach the pseudo-terminal in groups of up to 1 ms, like a UART's
receive FIFO; the last byte before a pause exactly when it is through.

Event log (--event-log FILE): JSON lines, each with "t" (ms since start) and "event":
  start      chip, dialect, clock_index, boot_baud, command_baud
  baud       line_baud: the programmer's rate changed
  rx         hex, line_baud, board_baud, garbage (true: dropped as line garbage), state
  tx         hex, baud (board's), line_baud, garbage (true: the programmer got inverted bytes)
             ("t" of rx: when the bytes were read, their first one starting on the line;
             of tx: when they were written, their last one through the line)
  reset      mode (boot|normal), cause (signal|control|fault|start)
  load/file  address, length, ok          exec   address, ok, why|kind, clock_byte,
  connect    -                                   clock_index, program_baud
  command    op, address                  erase  address, ok      blank  address, blank
  write      address, ok[, why]           read   address          refused address, why
  autoerase  ok                           fault  fault            hang   why
  busy       op                           ignored hex, why
  unplug     device (an unplug fault closed the pseudo-terminal; its fault event comes first)
  stop       flash_saves, flash_save_us, flash_save_max_us (writes of the flash image file
             and the time they took, in microseconds)
  error      why (the flash image file could not be written)

)";
  text += FaultHelpText();
  return text;
}

std::string VersionText() { return std::string("kvsim (kvflash) ") + KV_PACKAGE_VERSION + "\n"; }

}  // namespace kvsim
