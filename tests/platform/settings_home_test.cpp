#include "platform/settings_home.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/platform/temp_dir.h"
#include "tests/support/scoped_env.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;

const std::vector<std::string> kSettingsFiles = {"DATAFILE.TXT", "Customize.ini", "TIMETEST.TXT"};

TEST(SettingsHome, AWritableProgramDirectoryKeepsItsSettings) {
  TempDir program;
  TempDir config;
  const ScopedEnv xdg("XDG_CONFIG_HOME", config.path().c_str());
  EXPECT_EQ(platform::ChooseSettingsDirectory(program.path(), kSettingsFiles), program.path() + "/");
  // Nothing is created in the user's config directory for a program that keeps its own.
  EXPECT_FALSE(std::filesystem::exists(config.File("kvflash")));
}

TEST(SettingsHome, SeedingCopiesOnlyWhatTheUserHasNot) {
  TempDir program;
  TempDir config;
  program.Write("datafile.txt", "[Recent]\r\nCPU=2\r\n");  // found without case
  program.Write("Customize.ini", "[Com]\r\nCom=1\r\n");
  chmod(program.File("Customize.ini").c_str(), 0444);  // an installed, read-only copy
  const std::string user = config.File("kvflash") + "/";
  std::filesystem::create_directories(user);
  config.Write("kvflash/DATAFILE.TXT", "[Recent]\r\nCPU=5\r\n");

  platform::SeedSettingsDirectory(program.path() + "/", user, kSettingsFiles);

  EXPECT_EQ(config.Read("kvflash/DATAFILE.TXT"), "[Recent]\r\nCPU=5\r\n");  // the user's own stays
  EXPECT_EQ(config.Read("kvflash/Customize.ini"), "[Com]\r\nCom=1\r\n");
  EXPECT_NE(std::filesystem::status(user + "Customize.ini").permissions() & std::filesystem::perms::owner_write,
            std::filesystem::perms::none);
  EXPECT_FALSE(std::filesystem::exists(user + "TIMETEST.TXT"));  // a marker the program lacks is not made
}

TEST(SettingsHome, SeedingCreatesTheUserDirectory) {
  TempDir program;
  TempDir config;
  program.Write("DATAFILE.TXT", "[Recent]\r\nRATE=1\r\n");
  const std::string user = config.File("deeper/kvflash") + "/";
  platform::SeedSettingsDirectory(program.path() + "/", user, kSettingsFiles);
  EXPECT_EQ(config.Read("deeper/kvflash/DATAFILE.TXT"), "[Recent]\r\nRATE=1\r\n");
}

TEST(SettingsHome, WhyNotWritableNamesTheObstacle) {
  TempDir dir;
  dir.Write("plain.ini", "x");
  std::filesystem::create_directories(dir.File("folder.ini"));
  EXPECT_EQ(platform::WhyNotWritable(dir.File("plain.ini")), "");
  EXPECT_EQ(platform::WhyNotWritable(dir.File("new.ini")), "");
  EXPECT_EQ(platform::WhyNotWritable(dir.File("folder.ini")), "Is a directory");
  EXPECT_EQ(platform::WhyNotWritable(dir.File("missing/new.ini")), "No such file or directory");
}

}  // namespace
