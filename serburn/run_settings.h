// The run settings of one serburn invocation: filled from the command line, completed from
// serburn.cfg and the chip's CHIPDEF.INI record, read-only afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace serburn {

enum class Series { Unknown, KV40, KV41 };

struct BiromDialect;

struct RunSettings {
  std::string portName = "COM1";
  int32_t biromBaud = 0;  // 0 = from CHIPDEF.INI
  int32_t progBaud = 0;   // 0 = derived
  std::optional<std::string> clockText;
  std::optional<std::string> chipName;
  std::string dataFileName;
  std::string moduleFileName;
  bool stopAfterStart = false;
  uint32_t startAddress = 0;  // 0 = from CHIPDEF.INI
  bool startFromSwitch = false;  // set by /s
  uint32_t endAddress = 0;
  uint32_t loadAddress = 0;
  uint32_t resetWaitMs = 400;
  bool autoBaud = false;
  bool noPinControl = false;
  bool swapPins = false;
  bool taggedOutput = false;
  bool autoErase = false;
  bool help = false;
  bool helpToStandardOutput = false;  // --help: the usage can be piped
  bool listPorts = false;             // --list-ports: list the serial ports and end
  bool singleExitCode = false;
  bool erase = false;
  bool check = false;
  bool program = false;
  bool verify = false;
  bool read = false;
  Series series = Series::Unknown;
  int32_t seriesNumber = 0;
  bool downloadOption = false;
  uint8_t clockIndex = 0;
  std::string programDirectory;  // ends in a separator
  std::string seriesDirectory;   // ends in a separator
  std::string overlayDirectory;  // program directory + "ovl\41\" (KV41 only)
  // The chip's boot-ROM dialect (birom_dialect.h), chosen when the chip is resolved.
  const BiromDialect* dialect = nullptr;

  bool anyCommand() const { return erase || check || program || verify || read; }
};

}  // namespace serburn
