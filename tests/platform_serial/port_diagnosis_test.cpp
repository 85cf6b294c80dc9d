#include "platform/port_diagnosis.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/serial_port_linux.h"
#include "pty_pair.h"

namespace {

namespace fs = std::filesystem;
using platform::DescribeOpenFailure;
using platform::PortDiagnosisPlaces;

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

TEST(PortDiagnosis, AMissingDeviceListsThePortsThatExistStableNamesFirst) {
  TempTree dev;
  dev.Touch("ttyUSB1");
  dev.Touch("ttyUSB0");
  dev.Touch("ttyACM0");
  dev.Touch("tty5");  // a console, not a serial port
  dev.Touch("serial/by-id/usb-Maker_Adapter_A1-if00-port0");
  PortDiagnosisPlaces places;
  places.devDir = dev.path();
  const auto lines = DescribeOpenFailure("/dev/ttyUSB7", ENOENT, places);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string("device /dev/ttyUSB7: ") + std::strerror(ENOENT));
  EXPECT_EQ(lines[1], "serial ports present: " + dev.path() + "/serial/by-id/usb-Maker_Adapter_A1-if00-port0, " +
                          dev.path() + "/ttyACM0, " + dev.path() + "/ttyUSB0, " + dev.path() + "/ttyUSB1");
  places.devDir = dev.path() + "/serial";  // nothing that looks like a port
  EXPECT_EQ(DescribeOpenFailure("/dev/ttyUSB7", ENOENT, places)[1], "no USB or on-board serial port is connected");
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
