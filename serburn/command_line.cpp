#include "serburn/command_line.h"

#include <cctype>
#include <optional>

#include "serburn/text_scan.h"

namespace serburn {

namespace {

constexpr uint64_t kLowestStartAddress = 0x4000;
constexpr uint64_t kHighestStartAddress = 0xFFFFFF;

bool ConfigError(Reporter& reporter, const char* text) {
  return reporter.Error(ErrorClass::Configuration, text);
}

// The error line stays as scripts know it; the line after it names the switch.
ParseResult Unrecognized(const std::string& arg, Reporter& reporter) {
  ConfigError(reporter, "unrecognized option");
  reporter.Detail("unknown switch: " + arg + " (see serburn --help)");
  return ParseResult::Failed;
}

// "/iB:P": BiromBaud and, after a colon, ProgBaud; a single number sets only BiromBaud.
void ParseBaudRates(std::string_view text, RunSettings& s) {
  size_t used = 0;
  const std::optional<int32_t> birom = ScanDecimal(text, &used);
  if (!birom) return;
  s.biromBaud = *birom;
  if (used < text.size() && text[used] == ':') {
    if (const std::optional<int32_t> prog = ScanDecimal(text.substr(used + 1))) s.progBaud = *prog;
  }
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args, RunSettings& s, Reporter& reporter) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.empty() || (arg[0] != '-' && arg[0] != '/')) {
      ConfigError(reporter, "unknown prefix for parameter. Use '-' or '/'");
      return ParseResult::Failed;
    }
    if (arg == "--help") {
      s.help = s.helpToStandardOutput = true;
      continue;
    }
    if (arg == "--list-ports") {
      s.listPorts = true;
      continue;
    }
    if (arg == "-?" || arg == "/?") {
      s.help = true;
      continue;
    }
    if (arg.size() < 2) return Unrecognized(arg, reporter);
    const std::string_view rest = std::string_view(arg).substr(2);
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
    switch (letter) {
      case '1': case '2': case '3': case '4':
        s.portName = std::string("COM") + letter;
        break;
      case 'l':
        s.portName = std::string(rest);
        break;
      case 'k':
        s.chipName = arg.substr(1);
        break;
      case 'i':
        ParseBaudRates(rest, s);
        break;
      case 'o':
        s.clockText = std::string(rest);
        s.autoBaud = false;
        break;
      case 'b':
        if (i + 1 >= args.size()) {
          ConfigError(reporter, "no data for /b parameter, bin filename is needed");
          return ParseResult::Failed;
        }
        s.dataFileName = args[++i];
        break;
      case 'd':
        if (i + 1 >= args.size()) {
          ConfigError(reporter, "no data in /d parameter, bin filename for RAM-execute is needed");
          return ParseResult::Failed;
        }
        s.moduleFileName = args[++i];
        s.stopAfterStart = true;
        break;
      case 's': {
        // Unreadable text leaves the value unchanged.
        const uint64_t address = ScanHex(rest).value_or(s.startAddress);
        if (address < kLowestStartAddress || address > kHighestStartAddress) {
          ConfigError(reporter, "bad address in /s parameter (should be 0x4000...0xffffff)");
          return ParseResult::Failed;
        }
        s.startAddress = static_cast<uint32_t>(address);
        s.startFromSwitch = true;
        break;
      }
      case 'w': {
        const int32_t tenths = DecimalOrZero(rest);
        if (tenths < 0 || tenths > 9) {
          ConfigError(reporter, "bad data for /w parameter (should be 0...9)");
          return ParseResult::Failed;
        }
        s.resetWaitMs = static_cast<uint32_t>(tenths) * 100;
        break;
      }
      case 'a': s.autoBaud = true; break;
      case 't': s.noPinControl = true; break;
      case 'z': s.swapPins = true; break;
      case 'g': return ParseResult::ResetOnly;
      case 'n': s.taggedOutput = true; break;
      case 'u': s.autoErase = true; break;
      case 'e': s.erase = true; break;
      case 'c': s.check = true; break;
      case 'p': s.program = true; break;
      case 'v': s.verify = true; break;
      case 'r': s.read = true; break;
      case 'h': s.help = true; break;
      case 'q': s.singleExitCode = true; break;
      default:
        return Unrecognized(arg, reporter);
    }
  }
  return ParseResult::Ok;
}

std::string UsageText() {
  static const char* const kLines[] = {
      "USAGE: serburn [/param] [/KV4xKxxx | /d FILE]  [/b FILE] [/commands]",
      "",
      "PARAMETERs:",
      "/[1..4] || /LCOM7                       - number COM port || name COM port",
      "/iBiromBaud:ProgBaud                    - manual set BaudRate (/I4430:8861)",
      "/iBiromBaud (ProgBaud = BiromBaud * 2)  - manual set BaudRate (/I4267)",
      "/oCLOCK    - CPU clock: 4/8/16 or other, baudrate from CHIPDEF.INI",
      "/KV41Kxxxi - Microcontroller type,  xxx - series number, 358 or other",
      "/KV40Kxxxi                          i   - index, G or other or none",
      "/b FILE    - binary or S-record (.mhx) FILE for programming to Flash",
      "/d FILE    - RAM execute module FILE",
      "/sXXXXXX   - start address for operations in HEX format (e.g., 0xff0000)",
      "/wD        - timeout after RESET, D = 0..9 [*100ms]",
      "/t         - DON'T use RTS/DTR for invoke BIROM mode and RESET generation",
      "/z         - Swap functions of RTS and DTR RS232-signals.",
      "/g         - ONLY generate RESET pulse and ignore other commands",
      "/n         - Print info messages in machine-readable format",
      "/a         - Auto baudrate for BIROM, 4800/9600/19200 (for Ostrel-family only)",
      "",
      "COMMANDs:  /E~rase  /C~heck  /P~rogram  /V~erify  /R~ead",
      "           /U (auto erase for KV41K725 - skip already erased sectors)",
      "",
      "DEFAULTs:  KV40:  /1 /w4 /o16 /e /c /p (Start address read from CHIPDEF.INI)",
      "           KV41:  /1 /w4 /o4  /e /c /p (Start address read from CHIPDEF.INI)",
  };
  std::string text = "\n\r\n\r";  // the text begins with two line breaks
  for (const char* line : kLines) {
    text += line;
    text += "\n\r";
  }
  return text;
}

std::string LinuxUsageText() {
  return "--help       - this text, on standard output\n"
         "--list-ports - list the serial ports present and the simulated boards running\n";
}

std::string BuildDate() { return __DATE__; }

}  // namespace serburn
