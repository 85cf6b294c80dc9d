// kvsim's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/board.h"

namespace kvsim {

struct Options {
  std::string link;
  std::string chipdef;
  std::string chip;
  std::string clock;
  Dialect dialect = Dialect::kBoot;
  std::string flashImage;
  std::string eventLog;
  std::string controlFile;
  std::vector<std::string> faults;
  bool pace = false;
  int64_t eraseMs = -1;    // -1: default (0, or 2000 when paced)
  int64_t programMs = -1;  // -1: default (0, or 6 when paced)
  int64_t blankMs = -1;    // -1: default (0, or 40 when paced)
  uint32_t bootBaud = 0;
  uint32_t commandBaud = 0;
  uint32_t frameTimeoutMs = 1000;
  bool startNormal = false;
  bool help = false;
  bool version = false;
};

// Returns an empty string, or the error to print.
std::string ParseOptions(const std::vector<std::string>& args, Options& options);

std::string HelpText();

// "kvsim (kvflash) VERSION" and a line end, for --version.
std::string VersionText();

}  // namespace kvsim
