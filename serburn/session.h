// What every step of one serburn run works on: the settings, the reporter, the port link
// and the state that outlives a single step.
#pragma once

#include <string>

#include "serburn/port_link.h"
#include "serburn/reporter.h"
#include "serburn/run_settings.h"

namespace serburn {

struct Session {
  Session(RunSettings& runSettings, Reporter& runReporter, PortLink& portLink)
      : settings(runSettings), reporter(runReporter), link(portLink) {}

  RunSettings& settings;
  Reporter& reporter;
  PortLink& link;
  // Set when a module was started with /d: the run ends with exit code 0 at once, without
  // the closing sequence, so the module keeps running.
  bool stoppedAfterStart = false;
  // Set while the auto-erase module is being started (newer KV41 dialect).
  bool autoEraseStart = false;
  // Consecutive-failure counters of the module protocol.
  int shortFrames = 0;
  int transmitCrcErrors = 0;
  int writeFailures = 0;
  int receiveCrcErrors = 0;  // never reset during a run
  // Directory for the temporary image of a .mhx file (empty: the current directory).
  std::string tempDirectory;
};

}  // namespace serburn
