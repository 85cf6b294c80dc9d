#include "platform/port_discovery.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <ostream>
#include <functional>
#include <string>
#include <vector>

#include "fake_port_tree.h"

namespace {

using platform::DescribePort;
using platform::DiscoverPorts;
using platform::PortInfo;
using platform_test::FakePortTree;
using platform_test::UsbStrings;

const UsbStrings kFtdi = {"0403", "6001", "FTDI", "FT232R", "A1B2C3"};
const UsbStrings kBoard = {"2341", "0043", "Maker", "Uno Board", ""};

std::vector<std::string> Lines(const std::vector<PortInfo>& ports) {
  std::vector<std::string> lines;
  for (const PortInfo& port : ports) lines.push_back(DescribePort(port));
  return lines;
}

// "@" in an expected line stands for the fake /dev.
std::string InDev(const FakePortTree& tree, std::string line) {
  for (size_t at; (at = line.find('@')) != std::string::npos;) line.replace(at, 1, tree.Dev(""));
  return line;
}

struct TreeCase {
  const char* name;
  std::function<void(FakePortTree&)> build;
  std::vector<std::string> expected;
};

void PrintTo(const TreeCase& tested, std::ostream* os) { *os << tested.name; }

class PortDiscoveryTable : public ::testing::TestWithParam<TreeCase> {};

TEST_P(PortDiscoveryTable, ListsWhatIsThere) {
  FakePortTree tree;
  GetParam().build(tree);
  std::vector<std::string> expected;
  for (const std::string& line : GetParam().expected) expected.push_back(InDev(tree, line));
  EXPECT_EQ(Lines(DiscoverPorts(tree.Places())), expected);
}

const TreeCase kTrees[] = {
        TreeCase{"UsbAdapterWithByIdLink",
                 [](FakePortTree& t) {
                   t.AddUsbTty("ttyUSB0", kFtdi, "ftdi_sio", false);
                   t.AddByIdLink("usb-FTDI_FT232R_A1B2C3-if00-port0", "ttyUSB0");
                 },
                 {"@ttyUSB0  by-id @serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0  0403:6001 FTDI FT232R serial "
                  "A1B2C3 driver ftdi_sio"}},
        TreeCase{"AcmDeviceWithoutSerialNumber",
                 [](FakePortTree& t) { t.AddUsbTty("ttyACM0", kBoard, "cdc_acm", true); },
                 {"@ttyACM0  2341:0043 Maker Uno Board driver cdc_acm"}},
        TreeCase{"RealUartsOnlyNotThePlaceholders",
                 [](FakePortTree& t) {
                   t.AddUart("ttyS0", 4, "serial");         // a 16550A found by the firmware tables
                   t.AddUart("ttyS1", 0, "serial8250");     // PORT_UNKNOWN: no UART there
                   t.AddUart("ttyS2", -1, "serial8250");    // no type, only the placeholder device
                   t.AddUart("ttyS3", -1, "dw-apb-uart");   // no type, a real UART driver
                 },
                 {"@ttyS0  driver serial", "@ttyS3  driver dw-apb-uart"}},
        TreeCase{"UartsBehindSerialBaseDevicesByTheirHardwareDriver",
                 [](FakePortTree& t) {
                   t.AddUart("ttyS0", 4, "serial", true);
                   t.AddUart("ttyS1", 0, "serial8250", true);
                   t.AddUart("ttyS2", -1, "serial8250", true);
                 },
                 {"@ttyS0  driver serial"}},
        TreeCase{"NoPorts",
                 [](FakePortTree& t) {
                   t.AddVirtualTty("tty0");
                   t.AddVirtualTty("tty1");
                   t.AddVirtualTty("ptmx");
                 },
                 {}},
        TreeCase{"ByNameWithNumbersAsNumbersAndOnlyWithADeviceNode",
                 [](FakePortTree& t) {
                   t.AddUsbTty("ttyUSB10", kFtdi, "ftdi_sio", false);
                   t.AddUsbTty("ttyUSB2", kFtdi, "ftdi_sio", false);
                   t.AddUsbTty("ttyACM0", kBoard, "cdc_acm", true);
                   t.AddUsbTty("ttyUSB3", kFtdi, "ftdi_sio", false);
                   t.RemoveNode("ttyUSB3");
                   t.AddVirtualTty("tty5");
                 },
                 {"@ttyACM0  2341:0043 Maker Uno Board driver cdc_acm",
                  "@ttyUSB2  0403:6001 FTDI FT232R serial A1B2C3 driver ftdi_sio",
                  "@ttyUSB10  0403:6001 FTDI FT232R serial A1B2C3 driver ftdi_sio"}},
};

std::string CaseName(const ::testing::TestParamInfo<TreeCase>& tested) { return tested.param.name; }

INSTANTIATE_TEST_SUITE_P(Trees, PortDiscoveryTable, ::testing::ValuesIn(kTrees), CaseName);

TEST(PortDiscovery, APortAProgramHoldsIsMarkedInUse) {
  FakePortTree tree;
  tree.AddUsbTty("ttyUSB0", kFtdi, "ftdi_sio", false);
  tree.AddUsbTty("ttyUSB1", kFtdi, "ftdi_sio", false);
  tree.Hold(tree.Dev("ttyUSB1"), 4242, "minicom");
  const std::vector<PortInfo> ports = DiscoverPorts(tree.Places());
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_FALSE(ports[0].inUse);
  EXPECT_TRUE(ports[1].inUse);
  EXPECT_EQ(DescribePort(ports[1]), tree.Dev("ttyUSB1") + "  0403:6001 FTDI FT232R serial A1B2C3 driver ftdi_sio  [in use]");
}

// A process that has ended, so its pid names no one (for a while at least).
pid_t DeadPid() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  int status = 0;
  waitpid(pid, &status, 0);
  return pid;
}

TEST(PortDiscovery, SimulatedBoardsComeAfterTheRealPortsHeldOnlyByOthersAndDeadOnesAreForgotten) {
  FakePortTree tree;
  tree.AddUsbTty("ttyUSB0", kFtdi, "ftdi_sio", false);
  const std::string link = tree.Dev("kvsim-link");
  std::ofstream(link) << "";
  std::ofstream(tree.BoardsDir() + "/" + std::to_string(getpid()) + ".board") << "link=" << link << "\nchip=KV40K358\n";
  const std::string stale = tree.BoardsDir() + "/" + std::to_string(DeadPid()) + ".board";
  std::ofstream(stale) << "link=/tmp/gone\nchip=KV41K604\n";
  std::ofstream(tree.BoardsDir() + "/notes.txt") << "link=/tmp/other\n";  // not an entry

  const std::vector<PortInfo> ports = DiscoverPorts(tree.Places());
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_FALSE(ports[0].simulated);
  EXPECT_TRUE(ports[1].simulated);
  EXPECT_EQ(DescribePort(ports[1]), link + "  simulated KV40K358");
  EXPECT_FALSE(std::ifstream(stale).good()) << "the entry of a dead board is removed";

  tree.Hold(link, getpid(), "kvsim");  // the board keeps its own end open
  EXPECT_EQ(DescribePort(DiscoverPorts(tree.Places())[1]), link + "  simulated KV40K358");
  tree.Hold(link, 4243, "serburn");
  EXPECT_EQ(DescribePort(DiscoverPorts(tree.Places())[1]), link + "  simulated KV40K358  [in use]");
}

TEST(PortDiscovery, ARegistrationIsListedUntilWithdrawn) {
  FakePortTree tree;
  const std::string dir = tree.BoardsDir() + "/kvflash";  // created by the registration
  platform::BoardRegistration registration;
  ASSERT_TRUE(registration.Register(dir, "/tmp/kvsim0", "OS3F10"));
  std::vector<platform::SimulatedBoard> boards = platform::ListSimulatedBoards(dir);
  ASSERT_EQ(boards.size(), 1u);
  EXPECT_EQ(boards[0].pid, getpid());
  EXPECT_EQ(boards[0].link, "/tmp/kvsim0");
  EXPECT_EQ(boards[0].chip, "OS3F10");
  registration.Withdraw();
  EXPECT_TRUE(platform::ListSimulatedBoards(dir).empty());
  EXPECT_FALSE(registration.Register("", "/tmp/kvsim0", "OS3F10")) << "no runtime directory, no register";
}

}  // namespace
