// The port-name rule: device paths as they stand, COM1..COM20 to /dev/ttyS0..19, redirected
// per process by KVPORT_COMn and per user by [Ports] in the user's ports.ini.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/port_names.h"
#include "tests/support/scoped_env.h"

namespace {

namespace fs = std::filesystem;

using testing_support::ScopedEnv;

// Every test sees a fresh, empty configuration directory and no KVPORT_ overrides.
class PortNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kvports-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    xdg_.emplace("XDG_CONFIG_HOME", dir_.c_str());
    for (int n = 1; n <= 20; ++n) overrides_.emplace_back(std::make_unique<ScopedEnv>("KVPORT_COM" + std::to_string(n), nullptr));
  }
  void TearDown() override {
    overrides_.clear();
    xdg_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  void WriteUserMap(const std::string& text) {
    fs::create_directories(fs::path(dir_) / "kvflash");
    std::ofstream out(fs::path(dir_) / "kvflash" / "ports.ini", std::ios::binary);
    out << text;
  }

  std::string dir_;
  std::optional<ScopedEnv> xdg_;
  std::vector<std::unique_ptr<ScopedEnv>> overrides_;
};

struct NameCase {
  const char* name;
  const char* expected;
};

TEST_F(PortNamesTest, DefaultRule) {
  const NameCase cases[] = {
      {"COM1", "/dev/ttyS0"},
      {"COM2", "/dev/ttyS1"},
      {"com20", "/dev/ttyS19"},
      {"Com7", "/dev/ttyS6"},
      {"cOM10", "/dev/ttyS9"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/dev/pts/3", "/dev/pts/3"},
      {"./COM1", "./COM1"},  // contains '/': a path, even when it looks like a COM name
      {"COM0", "COM0"},
      {"COM21", "COM21"},
      {"COM01", "COM01"},
      {"COM", "COM"},
      {"COM1a", "COM1a"},
      {"COM 1", "COM 1"},
      {"COM-1", "COM-1"},
      {"LPT1", "LPT1"},
      {"ttyS0", "ttyS0"},
      {"", ""},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::ResolvePortName(c.name), c.expected);
  }
}

TEST_F(PortNamesTest, ComNumberMapsThroughTheSameRule) {
  EXPECT_EQ(platform::ComPortDevice(1), "/dev/ttyS0");
  EXPECT_EQ(platform::ComPortDevice(20), "/dev/ttyS19");
  EXPECT_EQ(platform::ComPortDevice(21), "COM21");
  EXPECT_EQ(platform::ComPortDevice(0), "COM0");
  ScopedEnv env("KVPORT_COM20", "/dev/pts/11");
  EXPECT_EQ(platform::ComPortDevice(20), "/dev/pts/11");
}

TEST_F(PortNamesTest, EnvironmentRedirectsOneComNumber) {
  ScopedEnv env("KVPORT_COM3", "/dev/pts/7");
  EXPECT_EQ(platform::ResolvePortName("COM3"), "/dev/pts/7");
  EXPECT_EQ(platform::ResolvePortName("com3"), "/dev/pts/7");
  EXPECT_EQ(platform::ResolvePortName("COM4"), "/dev/ttyS3");
}

TEST_F(PortNamesTest, EmptyEnvironmentValueIsNoRedirect) {
  ScopedEnv env("KVPORT_COM3", "");
  EXPECT_EQ(platform::ResolvePortName("COM3"), "/dev/ttyS2");
}

TEST_F(PortNamesTest, UserFileRedirectsPersistently) {
  WriteUserMap("; adapters on this desk\r\n[Ports]\r\nCOM5=/dev/ttyUSB0\r\n com6 = \"/dev/ttyACM0\" \r\n[Other]\r\nCOM7=/dev/nope\r\n");
  EXPECT_EQ(platform::ResolvePortName("COM5"), "/dev/ttyUSB0");
  EXPECT_EQ(platform::ResolvePortName("Com6"), "/dev/ttyACM0");
  EXPECT_EQ(platform::ResolvePortName("COM7"), "/dev/ttyS6");  // other sections do not count
}

TEST_F(PortNamesTest, EnvironmentTakesPrecedenceOverUserFile) {
  WriteUserMap("[Ports]\nCOM5=/dev/ttyUSB0\n");
  ScopedEnv env("KVPORT_COM5", "/dev/pts/2");
  EXPECT_EQ(platform::ResolvePortName("COM5"), "/dev/pts/2");
}

TEST_F(PortNamesTest, UserMapPathFollowsXdgConfigHome) {
  EXPECT_EQ(platform::UserPortMapPath(), (fs::path(dir_) / "kvflash" / "ports.ini").string());
  {
    ScopedEnv trailing("XDG_CONFIG_HOME", (dir_ + "/").c_str());
    EXPECT_EQ(platform::UserPortMapPath(), dir_ + "/kvflash/ports.ini");
  }
  ScopedEnv home("HOME", "/home/someone");
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    SCOPED_TRACE(xdg == nullptr ? "unset" : xdg);
    ScopedEnv unset("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(platform::UserPortMapPath(), "/home/someone/.config/kvflash/ports.ini");
  }
}

}  // namespace
