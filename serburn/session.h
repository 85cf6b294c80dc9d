// What every step of one serburn run works on: the settings, the reporter, the port link
// and the state that outlives a single step.
#pragma once

#include <cstdint>
#include <vector>

#include "serburn/port_link.h"
#include "serburn/read_out_file.h"
#include "serburn/reporter.h"
#include "serburn/run_settings.h"

namespace serburn {

struct Session {
  Session(RunSettings& runSettings, Reporter& runReporter, PortLink& portLink)
      : settings(runSettings), reporter(runReporter), link(portLink) {}

  RunSettings& settings;
  Reporter& reporter;
  PortLink& link;
  // Set while the auto-erase module is being started (newer KV41 dialect).
  bool autoEraseStart = false;
  // Consecutive-failure counters of the module protocol.
  int shortFrames = 0;
  int transmitCrcErrors = 0;
  int writeFailures = 0;
  int receiveCrcErrors = 0;  // never reset during a run
  // Set once this run erased the flash (erase or auto-erase): blank blocks are then known.
  bool flashErased = false;
  // What program and verify write and compare, loaded before the port is opened.
  std::vector<uint8_t> dataImage;
  // The read's target, created before the port is opened.
  ReadOutFile readOut;
};

}  // namespace serburn
