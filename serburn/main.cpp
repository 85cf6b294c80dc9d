// serburn: console programmer for the on-chip flash of KV40 and KV41 microcontrollers.
#include <iostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/serial_port_linux.h"
#include "serburn/main_flow.h"

int main(int argc, char** argv) {
  platform::SerialPortLinux port(platform::RealClock());
  serburn::Environment env{port,
                           platform::RealClock(),
                           std::cout,
                           [](const std::string& text) { platform::WriteToTerminal(text); },
                           [] { return platform::KeyWaiting(); },
                           platform::ProgramDirectory()};
  const std::vector<std::string> args(argv + 1, argv + argc);
  return serburn::RunSerburn(args, env);
}
