#include "flash/chipdef/download_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/platform/temp_dir.h"

namespace {

using testing_support::TempDir;

struct BaudCase {
  const char* name;
  const char* keys;  // Clock, Baud and Baud2 lines of the chip
  int clockIndex;
  std::optional<int32_t> bootRom;
  std::optional<int32_t> command;
};

const BaudCase kBaudCases[] = {
    {"NoBaud2IsTwiceBaud", "Clock=4,8\r\nBaud=9600,19200\r\n", 1, 19200, 38400},
    {"EmptyBaud2CountsAsAbsent", "Clock=4,8\r\nBaud=9600,19200\r\nBaud2=\r\n", 0, 9600, 19200},
    {"Baud2TakesSamePosition", "Clock=4,8\r\nBaud=9600,19200\r\nBaud2=57600,115200\r\n", 1, 19200, 115200},
    {"EmptyEntriesSkippedInEveryList", "Clock=4,,8\r\nBaud=,9600,,19200\r\nBaud2=38400,,76800\r\n", 1, 19200,
     76800},
    {"EntryThatIsNoNumberGivesZero", "Clock=4\r\nBaud=fast\r\n", 0, 0, 0},
    {"ClockIndexBeyondBaud", "Clock=4,8,16\r\nBaud=9600,19200\r\n", 2, std::nullopt, std::nullopt},
    {"ShortBaud2HasNoEntry", "Clock=4,8\r\nBaud=9600,19200\r\nBaud2=38400\r\n", 1, 19200, std::nullopt},
    {"NegativeIndex", "Clock=4\r\nBaud=9600\r\n", -1, std::nullopt, std::nullopt},
    {"TwiceSaturates", "Clock=4\r\nBaud=2000000000\r\n", 0, 2000000000, INT32_MAX},
};

class BaudRates : public ::testing::TestWithParam<BaudCase> {};

TEST_P(BaudRates, FollowTheClockIndex) {
  const BaudCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.Write("CHIPDEF.INI", std::string("[KV40]\r\n") + c.keys);
  EXPECT_EQ(flash::ReadBootRomBaud(path, "kv40", c.clockIndex), c.bootRom);
  EXPECT_EQ(flash::ReadCommandBaud(path, "kv40", c.clockIndex), c.command);
}

INSTANTIATE_TEST_SUITE_P(Cases, BaudRates, ::testing::ValuesIn(kBaudCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(DownloadSettings, OptionDefaultsToZero) {
  TempDir dir;
  const std::string path =
      dir.Write("CHIPDEF.INI", "[A]\r\nDownloadOption=1\r\n[B]\r\nLoadAddress=0x10\r\n[C]\r\nDownloadOption=\r\n");
  EXPECT_EQ(flash::ReadDownloadOption(path, "A"), 1);
  EXPECT_EQ(flash::ReadDownloadOption(path, "B"), 0);
  EXPECT_EQ(flash::ReadDownloadOption(path, "C"), 0);
  EXPECT_EQ(flash::ReadDownloadOption(dir.File("missing.ini"), "A"), 0);
}

TEST(DownloadSettings, DownloadFileIsFoundBesideTheProgramWithEitherSeparator) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("ctrl"));
  dir.Write("ctrl/KV40.bin", "image");
  const std::string path = dir.Write("CHIPDEF.INI",
                                     "[KV40]\r\nDownloadFile=Ctrl\\kv40.BIN\r\n[Abs]\r\nDownloadFile=/opt/x.bin\r\n"
                                     "[Missing]\r\nDownloadFile=none.bin\r\n");
  EXPECT_EQ(flash::ReadDownloadFile(path, "KV40"), "Ctrl\\kv40.BIN");
  EXPECT_EQ(flash::DownloadFilePath(dir.path() + "/", path, "KV40"), dir.File("ctrl/KV40.bin"));
  EXPECT_EQ(flash::DownloadFilePath(dir.path(), path, "Abs"), "/opt/x.bin");
  EXPECT_EQ(flash::DownloadFilePath(dir.path(), path, "Missing"), dir.File("none.bin"));
  EXPECT_EQ(flash::DownloadFilePath(dir.path(), path, "NoSuchChip"), "");
}

TEST(DownloadSettings, BaudListIsCutAt255Characters) {
  // 251 commas, then "96000": only "9600" lies within the first 255 characters.
  const std::string value = std::string(251, ',') + "96000";
  EXPECT_EQ(flash::ParseBaudList(value), (std::vector<int32_t>{9600}));
}

}  // namespace
