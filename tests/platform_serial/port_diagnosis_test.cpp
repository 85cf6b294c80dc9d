#include "platform/port_diagnosis.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fake_port_tree.h"
#include "platform/serial_port_linux.h"
#include "pty_pair.h"

namespace {

namespace fs = std::filesystem;
using platform::DescribeOpenFailure;

class TempTree {
 public:
  TempTree() {
    char pattern[] = "/tmp/kv-diag-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempTree() { fs::remove_all(path_); }
  std::string Touch(const std::string& name) const {
    fs::create_directories(fs::path(path_ + "/" + name).parent_path());
    std::ofstream(path_ + "/" + name) << "";
    return path_ + "/" + name;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(PortDiagnosis, AMissingDeviceListsThePortsThatExistByTheirStableNames) {
  platform_test::FakePortTree tree;
  const platform_test::UsbStrings adapter = {"0403", "6001", "FTDI", "FT232R", "A1"};
  tree.AddUsbTty("ttyUSB1", adapter, "ftdi_sio", false);
  tree.AddUsbTty("ttyUSB0", adapter, "ftdi_sio", false);
  tree.AddUsbTty("ttyACM0", adapter, "cdc_acm", true);
  tree.AddVirtualTty("tty5");  // a console, not a serial port
  tree.AddByIdLink("usb-Maker_Adapter_A1-if00-port0", "ttyUSB1");
  const auto lines = DescribeOpenFailure("/dev/ttyUSB7", ENOENT, tree.Places());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string("device /dev/ttyUSB7: ") + std::strerror(ENOENT));
  EXPECT_EQ(lines[1], "serial ports present: " + tree.Dev("ttyACM0") + ", " + tree.Dev("ttyUSB0") + ", " +
                          tree.Dev("serial/by-id/usb-Maker_Adapter_A1-if00-port0"));
  platform_test::FakePortTree empty;
  empty.AddVirtualTty("tty5");
  EXPECT_EQ(DescribeOpenFailure("/dev/ttyUSB7", ENOENT, empty.Places())[1], "no USB or on-board serial port is connected");
}

TEST(PortDiagnosis, PermissionDeniedNamesTheGroupAndTheCommand) {
  TempTree dev;
  const auto lines = DescribeOpenFailure(dev.Touch("ttyUSB0"), EACCES);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "device " + dev.path() + "/ttyUSB0: " + std::strerror(EACCES));
  EXPECT_NE(lines[1].find("sudo usermod -aG "), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("log in again"), std::string::npos) << lines[1];
}

TEST(PortDiagnosis, ABusyPortNamesTheProgramHoldingIt) {
  platform_test::PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  platform::SerialPortLinux holder;
  ASSERT_TRUE(holder.Open(pty.SlavePath()));
  platform::SerialPortLinux second;
  EXPECT_FALSE(second.Open(pty.SlavePath()));
  EXPECT_EQ(second.OpenError(), EBUSY);
  const auto lines = DescribeOpenFailure(pty.SlavePath(), second.OpenError());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("(PID " + std::to_string(getpid()) + ")"), std::string::npos) << lines[1];
}

TEST(PortDiagnosis, OpenErrorsOfTheRealPort) {
  TempTree dev;
  platform::SerialPortLinux port;
  EXPECT_FALSE(port.Open(dev.path() + "/none"));
  EXPECT_EQ(port.OpenError(), ENOENT);
  EXPECT_FALSE(port.Open(dev.Touch("plain-file")));
  EXPECT_EQ(port.OpenError(), ENOTTY);
  EXPECT_EQ(DescribeOpenFailure(dev.path() + "/plain-file", ENOTTY)[1], "it is not a serial device");
}

}  // namespace
