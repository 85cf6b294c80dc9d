// Shared fixture of the serburn link tests: a fake port and clock, run settings, a reporter
// writing into a string, and the session over them.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/clock.h"
#include "platform/fake_serial_port.h"
#include "serburn/birom_dialect.h"
#include "serburn/port_link.h"
#include "serburn/reporter.h"
#include "serburn/run_settings.h"
#include "serburn/session.h"

namespace serburn::testing {

using Kind = platform::FakeSerialPort::Event::Kind;
using Bytes = std::vector<uint8_t>;

class LinkFixture : public ::testing::Test {
 protected:
  LinkFixture() : port(clock), reporter(out), link(port, clock, settings, reporter) {
    settings.chipName = "KV40K358";
    settings.series = Series::KV40;
    settings.dialect = &kKV40Birom;
    settings.biromBaud = 9600;
    settings.progBaud = 19200;
    settings.loadAddress = 0x4000;
    settings.startAddress = 0x4000;
    settings.endAddress = 0x4000 + 4 * 512 - 1;
  }

  void UseKV41(int seriesNumber) {
    settings.chipName = "KV41K" + std::to_string(seriesNumber);
    settings.series = Series::KV41;
    settings.seriesNumber = seriesNumber;
    settings.dialect = &BiromDialectFor(Series::KV41, seriesNumber);
  }

  // Opens the port and forgets the events of opening.
  void OpenPort() {
    ASSERT_TRUE(link.Open());
    port.ClearEvents();
  }

  std::vector<platform::FakeSerialPort::Event> EventsOf(Kind kind) const {
    std::vector<platform::FakeSerialPort::Event> found;
    for (const auto& e : port.Events()) {
      if (e.kind == kind) found.push_back(e);
    }
    return found;
  }

  std::vector<Bytes> Writes() const {
    std::vector<Bytes> writes;
    for (const auto& e : EventsOf(Kind::Write)) writes.push_back(e.data);
    return writes;
  }

  platform::FakeClock clock;
  platform::FakeSerialPort port;
  RunSettings settings;
  std::ostringstream out;
  Reporter reporter;
  PortLink link;
  Session session{settings, reporter, link};
};

}  // namespace serburn::testing
