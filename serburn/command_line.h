// The serburn command line: switch parsing into the run settings, and the usage text.
#pragma once

#include <string>
#include <vector>

#include "serburn/reporter.h"
#include "serburn/run_settings.h"

namespace serburn {

enum class ParseResult {
  Ok,         // every argument was read
  Failed,     // a class-1 error was reported
  ResetOnly,  // /g was met: the caller sends the reset pulse and ends with exit code 0
};

// Parses the arguments (without the program name) in order into settings. Errors are
// reported as class 1. /g stops the parsing at once.
[[nodiscard]] ParseResult ParseCommandLine(const std::vector<std::string>& args, RunSettings& settings,
                                         Reporter& reporter);

// The usage text, with its "\n\r" line breaks; written to the terminal by the main flow.
std::string UsageText();

// The long switches of the Linux build, with plain line feeds; --help prints them after the
// usage text.
std::string LinuxUsageText();

// The build date as "Mmm dd yyyy" (day padded with a space).
std::string BuildDate();

}  // namespace serburn
