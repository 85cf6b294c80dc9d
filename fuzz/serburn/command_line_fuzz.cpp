// Fuzzes the command-line parser: the input is split at NUL bytes into arguments.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "serburn/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  std::ostringstream out;
  serburn::Reporter reporter(out);
  serburn::RunSettings settings;
  const serburn::ParseResult r = serburn::ParseCommandLine(args, settings, reporter);
  if (r == serburn::ParseResult::Ok) {
    if (settings.resetWaitMs > 900 || (settings.startAddress != 0 && settings.startAddress < 0x4000) ||
        settings.startAddress > 0xFFFFFF) {
      __builtin_trap();
    }
  }
  if ((r == serburn::ParseResult::Failed) != reporter.Failed()) __builtin_trap();
  return 0;
}
