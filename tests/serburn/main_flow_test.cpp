#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "module_peer.h"
#include "platform/fake_serial_port.h"
#include "serburn/command_line.h"
#include "serburn/main_flow.h"
#include "temp_dir.h"

namespace serburn {
namespace {

using testing::ModulePeer;
using testing::TempDir;
using Bytes = std::vector<uint8_t>;
using Kind = platform::FakeSerialPort::Event::Kind;

const char* const kChipdef =
    "[KV40K358/G]\n"
    "DownloadFile=kv40ldr.bin\n"
    "LoadAddress=0x0400\n"
    "StartAddress=0x004000\n"
    "EndAddress=0x0047FF\n"
    "FlashSize=2048\n"
    "Clock=4,8,16\n"
    "Baud=4800,9600,19200\n";

// A KV40 board on the fake port: boot ROM until the start frame, then the module.
class MainFlow : public ::testing::Test {
 protected:
  MainFlow() : port(clock), peer(0x4000, 2048) {
    dir.Write("serburn.cfg", "KV40=" + dir.path() + "/kv40\n");
    dir.Write("kv40/CHIPDEF.INI", kChipdef);
    dir.Write("kv40/kv40ldr.bin", "module");
    port.SetPeer([this](platform::FakeSerialPort& p, const Bytes& w) {
      if (moduleRunning) return peer.OnWrite(p, w);
      if (w == Bytes{0x18}) p.QueueInput(0x11, 1);
      if (w.size() > 6 && w[0] == 0x00) p.QueueInput(0x01, 1);
      if (w == Bytes{0x40, 0, 0, 0, 0}) moduleRunning = true;
    });
  }

  int Run(std::vector<std::string> args) {
    Environment env{port, clock, out, [this](const std::string& t) { terminal += t; },
                    [this] { ++keyChecks; return false; }, dir.path() + "/"};
    env.portPlaces = portPlaces;
    return RunSerburn(args, env);
  }

  TempDir dir;
  platform::FakeClock clock;
  platform::FakeSerialPort port;
  ModulePeer peer;
  bool moduleRunning = false;
  std::ostringstream out;
  std::string terminal;
  int keyChecks = 0;
  platform::PortDiscoveryPlaces portPlaces = NoPorts(dir.path());

 private:
  static platform::PortDiscoveryPlaces NoPorts(const std::string& base) {
    platform::PortDiscoveryPlaces places;
    places.sysDir = base + "/no-sys";
    places.devDir = base + "/no-dev";
    places.procDir = base + "/no-proc";
    places.boardsDir = base + "/boards";
    return places;
  }
};

const std::string kBannerLine = std::string("\n") + kBanner;

TEST_F(MainFlow, NoArgumentsPrintsUsageToTheTerminalOnly) {
  EXPECT_EQ(Run({}), 1);
  EXPECT_EQ(out.str(), kBannerLine);
  EXPECT_EQ(terminal.substr(0, 10), "\n\r\n\rUSAGE:");
  EXPECT_EQ(terminal.substr(terminal.size() - 2), "\n\r");
}

TEST_F(MainFlow, HelpAddsTheBuildDateAfterParsingEverything) {
  EXPECT_EQ(Run({"/h", "/e"}), 1);
  EXPECT_EQ(terminal.substr(terminal.size() - 11), BuildDate());
  terminal.clear();
  EXPECT_EQ(Run({"/h", "/y"}), 1);
  EXPECT_EQ(terminal, "");
}

TEST_F(MainFlow, LongHelpGoesToStandardOutputWithPlainLineFeeds) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_EQ(terminal, "");
  std::string usage = UsageText() + BuildDate();
  usage.erase(std::remove(usage.begin(), usage.end(), '\r'), usage.end());
  EXPECT_EQ(out.str(), kBannerLine + usage + "\n" + LinuxUsageText());
  EXPECT_NE(LinuxUsageText().find("--list-ports"), std::string::npos);
}

TEST_F(MainFlow, ListPortsSaysWhenThereIsNoneAndLeavesThePortAlone) {
  EXPECT_EQ(Run({"--list-ports"}), 0);
  EXPECT_EQ(out.str(), kBannerLine + "\nno serial ports found\n");
  EXPECT_EQ(terminal, "");
  EXPECT_TRUE(port.Events().empty());
}

TEST_F(MainFlow, ListPortsIsTheWholeRunWhateverElseIsAsked) {
  platform::BoardRegistration registration;
  ASSERT_TRUE(registration.Register(portPlaces.boardsDir, "/tmp/kvsim0", "KV40K358"));
  EXPECT_EQ(Run({"/1", "/KV40K358", "--list-ports", "/e", "/h"}), 0);
  EXPECT_EQ(out.str(), kBannerLine + "\n/tmp/kvsim0  simulated KV40K358\n");
  EXPECT_EQ(terminal, "");
  EXPECT_TRUE(port.Events().empty());
}

TEST_F(MainFlow, ParseErrorComesAfterTheBannerAndOnlyChecksForAKey) {
  EXPECT_EQ(Run({"/n", "/y"}), 1);
  EXPECT_EQ(out.str(), kBannerLine + "\nError in configuration: unrecognized option\nunknown switch: /y (see serburn --help)\n");
  EXPECT_EQ(keyChecks, 1);
  EXPECT_TRUE(port.Events().empty());
}

TEST_F(MainFlow, MissingChip) {
  EXPECT_EQ(Run({"/n", "/e"}), 1);
  EXPECT_EQ(out.str(), kBannerLine + "\n*** ERROR Error in configuration: MCU not selected\n");
}

TEST_F(MainFlow, DefaultModeProgramsTheFile) {
  std::string data(1024, '\x42');
  dir.Write("image.bin", data);
  EXPECT_EQ(Run({"/KV40K358", "/b", dir.File("image.bin")}), 0) << out.str();
  EXPECT_EQ(out.str(), kBannerLine +
                           "\nDefault mode, commands: /e /c /p"
                           "\nDownloading KV40 kv40ldr.bin for parameter /KV40K358 :  Ok"
                           "\nErase  : .. Ok"
                           "\nCheck  :  Ok"
                           "\nProgram: pp Ok");
  EXPECT_EQ(std::string(peer.flash().begin(), peer.flash().begin() + 1024), data);
  // The closing sequence: mode line off, reset pulse, port closed, key consumed.
  const auto& e = port.Events();
  ASSERT_GE(e.size(), 4u);
  EXPECT_EQ(e[e.size() - 1].kind, Kind::Close);
  EXPECT_EQ(e[e.size() - 4].kind, Kind::Rts);
  EXPECT_EQ(e[e.size() - 4].value, 0u);
  EXPECT_EQ(keyChecks, 1);
  // Baud rates: the boot ROM's for clock 16, then twice that for the module.
  std::vector<uint32_t> rates;
  for (const auto& ev : e) {
    if (ev.kind == Kind::SetBaud) rates.push_back(ev.value);
  }
  EXPECT_EQ(rates, (std::vector<uint32_t>{19200, 38400}));
}

TEST_F(MainFlow, OperationsRunInTheirFixedOrder) {
  dir.Write("image.bin", std::string(2048, '\x24'));
  EXPECT_EQ(Run({"/r", "/v", "/p", "/n", "/KV40K358", "/b", dir.File("image.bin"), "/i9600"}), 0) << out.str();
  EXPECT_EQ(out.str(), kBannerLine +
                           "\n--- INFO  Downloading KV40 kv40ldr.bin for parameter /KV40K358 :  Ok"
                           "\n--- INFO  Program: pppp Ok"
                           "\n--- INFO  Verify : vvvv Ok"
                           "\n--- INFO  Read   : rrrr Ok");
}

TEST_F(MainFlow, NoOperationStillConnects) {
  EXPECT_EQ(Run({"/KV40K358"}), 0);
  EXPECT_EQ(peer.commands, 0);
  bool testConnect = false;
  for (const auto& ev : port.Events()) testConnect |= ev.kind == Kind::Write && ev.data == Bytes{0xE8};
  EXPECT_TRUE(testConnect);
}

TEST_F(MainFlow, StartOnlyLeavesTheModuleRunning) {
  EXPECT_EQ(Run({"/KV40K358", "/d", dir.File("kv40/kv40ldr.bin"), "/b", "x.bin"}), 0);
  EXPECT_EQ(out.str(), kBannerLine + "\nDownloading KV40 kv40ldr.bin for parameter /KV40K358 :  Ok"
                                     "\nStart RAMexecute module Ok");
  EXPECT_EQ(port.Events().back().kind, Kind::Drain);
  EXPECT_EQ(keyChecks, 0);
}

TEST_F(MainFlow, ErrorExitRunsTheClosingSequence) {
  peer.eraseResult = '4';
  EXPECT_EQ(Run({"/KV40K358", "/e"}), 5);
  EXPECT_EQ(port.Events().back().kind, Kind::Close);
  EXPECT_FALSE(port.Dtr());
  EXPECT_FALSE(port.Rts());
}

TEST_F(MainFlow, SingleExitCode) {
  port.SetOpenFails(true);
  EXPECT_EQ(Run({"/KV40K358", "/q"}), 1);
  EXPECT_EQ(out.str(), kBannerLine + "\nCOM-port error: unable to open COM\n");
  EXPECT_EQ(Run({"/KV40K358"}), 2);
}

TEST_F(MainFlow, ChecksAfterParsing) {
  EXPECT_EQ(Run({"/KV40K358", "/v"}), 1);
  EXPECT_EQ(Run({"/KV40K358", "/s4100"}), 1);
  EXPECT_EQ(out.str(), kBannerLine + "\nError in configuration: file for program/verify/read operation is not specified\n" +
                           kBannerLine + "\nError in configuration: bad flash start address, not multiple 512\n");
  EXPECT_TRUE(port.Events().empty());
}

struct EarlyRefusal {
  const char* name;
  std::vector<std::string> args;  // "DIR" stands for the test's directory
  int exitCode;
  const char* line;               // the error line, after its class header
};

class RefusedBeforeThePortOpens : public MainFlow, public ::testing::WithParamInterface<EarlyRefusal> {
 protected:
  void SetUp() override {
    dir.Write("long.bin", std::string(2048, '\x42') + "\x01");
    dir.Write("bad.mhx", "S0030000FC\nS2050042007E3B\n");
  }
};

// A typo or a bad file ends the run before the port is opened: the chip keeps its contents.
TEST_P(RefusedBeforeThePortOpens, WithTheClassAndMessage) {
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) {
    if (a.rfind("DIR", 0) == 0) a = dir.path() + a.substr(3);
  }
  EXPECT_EQ(Run(args), GetParam().exitCode);
  std::string line = std::string(GetParam().line) + "\n";
  const size_t named = line.find("DIR");  // a message that names the file
  if (named != std::string::npos) line.replace(named, 3, dir.path());
  ASSERT_GE(out.str().size(), line.size()) << out.str();
  EXPECT_EQ(out.str().substr(out.str().size() - line.size()), line) << out.str();
  EXPECT_TRUE(port.Events().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedBeforeThePortOpens,
    ::testing::Values(
        EarlyRefusal{"MissingDataFile", {"/KV40K358", "/e", "/p", "/b", "DIR/missing.bin"}, 3,
                     "File operations error: unable to open data file"},
        EarlyRefusal{"MhxWithAnError", {"/KV40K358", "/e", "/p", "/b", "DIR/bad.mhx"}, 3,
                     "File operations error: error CRC in .mhx"},
        EarlyRefusal{"FileLongerThanTheArea", {"/KV40K358", "/e", "/p", "/b", "DIR/long.bin"}, 3,
                     "File operations error: data file DIR/long.bin has 2049 bytes, more than the 2048 bytes of "
                     "the flash area 0x004000..0x0047FF (only 0xFF may follow the area)"},
        EarlyRefusal{"VerifyOfAMissingFile", {"/KV40K358", "/v", "/b", "DIR/missing.mhx"}, 3,
                     "File operations error: error open .mhx"},
        EarlyRefusal{"ReadOutWhereNoFileCanBe", {"/KV40K358", "/r", "/b", "DIR/no/such/dir/out.bin"}, 3,
                     "File operations error: unable to open data file"},
        EarlyRefusal{"ReadOutOverADirectory", {"/KV40K358", "/r", "/b", "DIR/kv40"}, 3,
                     "File operations error: unable to open data file"},
        EarlyRefusal{"StartPastTheEnd", {"/KV40K358", "/e", "/s4800"}, 1,
                     "Error in configuration: bad address in /s parameter (should be 0x4000...0x47ff)"},
        EarlyRefusal{"EmptyClockLabel", {"/KV40K358", "/e", "/o"}, 1,
                     "Error in configuration: /oCLOCK option not found in CHIPDEF.ini"},
        EarlyRefusal{"ClockKeyAsLabel", {"/KV40K358", "/e", "/oClock"}, 1,
                     "Error in configuration: /oCLOCK option not found in CHIPDEF.ini"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(MainFlow, ResetOnly) {
  EXPECT_EQ(Run({"/w0", "/g", "/y"}), 0);
  EXPECT_EQ(out.str(), kBannerLine + "\nGeneration RESET impuls");
  const auto& e = port.Events();
  ASSERT_GE(e.size(), 4u);
  EXPECT_EQ(e[e.size() - 4].kind, Kind::Rts);
  EXPECT_EQ(e[e.size() - 3].kind, Kind::Dtr);
  EXPECT_EQ(e.back().kind, Kind::Close);
  EXPECT_EQ(keyChecks, 1);
}

TEST_F(MainFlow, ResetOnlyWithoutModemLinesIsAPortError) {
  port.SetHasModemLines(false);
  EXPECT_EQ(Run({"/g"}), 2);
  EXPECT_EQ(out.str(), kBannerLine + "\nGeneration RESET impuls\nCOM-port error: unable to control state of DTR/RTS pins\n");
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(MainFlow, MhxInputLeavesNoTemporaryFile) {
  dir.Write("image.mhx", "S0030000FC\nS2050042007E3A\n");
  EXPECT_EQ(Run({"/KV40K358", "/p", "/v", "/b", dir.File("image.mhx")}), 0) << out.str();
  EXPECT_EQ(peer.flash()[512], 0x7E);
  EXPECT_EQ(dir.Count(), 3u);  // serburn.cfg, kv40/, image.mhx
}

}  // namespace
}  // namespace serburn
