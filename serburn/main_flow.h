// One serburn run from the banner to the closing sequence, over injectable services so
// that the whole flow runs against a fake port in tests.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/port_discovery.h"
#include "platform/serial_port.h"

namespace serburn {

struct Environment {
  platform::SerialPort& port;
  platform::Clock& clock;
  std::ostream& out;                                         // standard output
  std::function<void(const std::string&)> writeToTerminal;  // the usage text
  std::function<bool()> consumeKey;                          // reads a waiting keystroke
  std::string programDirectory;                              // ends in a separator
  platform::PortDiscoveryPlaces portPlaces = {};             // where --list-ports looks
};

constexpr const char* kBanner = "InSystem Serial Programmer KV4X.     v3.00(w32)";

// Runs serburn with the arguments (without the program name); returns the exit code.
[[nodiscard]] int RunSerburn(const std::vector<std::string>& args, Environment& env);

}  // namespace serburn
