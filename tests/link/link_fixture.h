// Shared set-up of the link's unit tests: a fresh program directory with CHIPDEF.INI and a
// control program, the fake port and clock, the fake board, the scripted user, and helpers
// that write hex files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "flash/link/flash_link.h"
#include "flash/link/messages.h"
#include "platform/fake_serial_port.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tests/link/fake_target.h"
#include "tests/link/scripted_ui.h"

namespace flash::testing {

// A directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);

// S2 records of 16 bytes (at most) for every byte of image that is not 0xFF, base = address
// of image[0], followed by an S8 end record.
std::string MakeSRecords(const std::vector<uint8_t>& image, uint32_t base);

// A chip section for CHIPDEF.INI.
struct ChipSection {
  std::string name = "TESTCHIP";
  std::string downloadFile = "ctrl.bin";
  std::string loadAddress = "0x4000";
  std::string downloadOption;  // empty: no line
  std::string starts = "0x000000";
  std::string ends = "0x007FFF";
  std::string clocks = "4,8";
  std::string bauds = "9600,19200";
  std::string bauds2;  // empty: no line
};
std::string ChipDefText(const ChipSection& chip);

class LinkTest : public ::testing::Test {
 protected:
  LinkTest();
  // Writes CHIPDEF.INI for chip and loads its record into the link's settings.
  void UseChip(const ChipSection& chip);
  // The target runs the control program at the command baud: the state after a download.
  void PretendDownloaded(uint32_t commandBaud = 38400);
  // Writes image (bytes from the first area's start) as an S-format Hex File and selects it.
  void UseHexImage(const std::vector<uint8_t>& image);
  uint32_t Base() const { return link.Settings().chip.areas[0].start; }
  // Every write event of the port since the last ClearEvents, one vector per write call.
  std::vector<std::vector<uint8_t>> Writes() const;
  std::vector<uint32_t> Bauds() const;
  int Count(platform::FakeSerialPort::Event::Kind kind) const;

  TempDir dir;
  platform::FakeClock clock;
  platform::FakeSerialPort port{clock};
  ScriptedUi ui;
  FlashLink link{port, clock, ui};
  FakeTarget target{port, 0, 0x8000};
  ChipSection chip;
  std::vector<uint8_t> controlProgram;
};

}  // namespace flash::testing
