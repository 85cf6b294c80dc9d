#include <gtest/gtest.h>

#include <fstream>

#include <filesystem>

#include <sstream>
#include <string>

#include "serburn/birom_dialect.h"
#include "serburn/chip_resolver.h"
#include "tests/support/scoped_env.h"
#include "temp_dir.h"

namespace serburn {
namespace {

using testing::TempDir;

struct Outcome {
  bool ok;
  std::string output;
};

struct CfgCase {
  const char* cfg;
  const char* chip;
  const char* directory;  // nullptr: the error below
  const char* error;
};

class SeriesDirectory : public ::testing::TestWithParam<CfgCase> {};

TEST_P(SeriesDirectory, Lookup) {
  std::ostringstream out;
  Reporter r(out);
  std::string dir;
  const bool ok = LookupSeriesDirectory(GetParam().cfg, GetParam().chip, dir, r);
  if (GetParam().directory != nullptr) {
    EXPECT_TRUE(ok) << out.str();
    EXPECT_EQ(dir, GetParam().directory);
    EXPECT_EQ(out.str(), "");
  } else {
    EXPECT_FALSE(ok);
    EXPECT_EQ(out.str(), std::string("\nError in configuration: ") + GetParam().error + "\n");
  }
}

const std::string kLongCfgLine = "KV41=" + std::string(255, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, SeriesDirectory,
    ::testing::Values(
        CfgCase{"KV40=C:\\Tools\\KV40\\\n", "KV40K358", "C:\\Tools\\KV40\\", nullptr},
        CfgCase{"KV40=\"C:\\Tools\\\"\n", "KV40K358", "C:\\Tools\\", nullptr},
        CfgCase{"KV41=D:\\kv41\n", "KV41K725", "D:\\kv41\\", nullptr},
        CfgCase{"KV40=C:/Tools/\n", "KV40K358", "C:/Tools/", nullptr},
        CfgCase{"kv40=/opt/kv40\r\nKV41=/opt/kv41\r\n", "KV41K604", "/opt/kv41\\", nullptr},
        CfgCase{"kV40=/a\n", "KV40K358", "/a\\", nullptr},
        CfgCase{"KV40=/a\r\r\n", "KV40K358", "/a\\", nullptr},
        CfgCase{"KV40=/a\rb\n", "KV40K358", "/a\\", nullptr},
        CfgCase{"KV40=/first\nKV40=/second\n", "KV40K358", "/first\\", nullptr},
        CfgCase{"KV40:/x\n", "KV40K358", "/x\\", nullptr},  // the fifth character is not checked
        CfgCase{"# comment\n\nKV41=/b", "KV41K725", "/b\\", nullptr},
        CfgCase{"KV40=/a\n", "KV41K725", nullptr, "not find data for used series in serburn.cfg"},
        CfgCase{"", "KV40K358", nullptr, "not find data for used series in serburn.cfg"},
        CfgCase{"kv40=/a\n", "KV43K100", nullptr, "not find data for used series in serburn.cfg"},
        CfgCase{"KV40=/a\nkV41=/c", "KV41", "/c\\", nullptr}));

TEST(SeriesDirectory, OverLongLineIsRefused) {
  std::ostringstream out;
  Reporter r(out);
  std::string dir;
  EXPECT_TRUE(LookupSeriesDirectory("KV41=" + std::string(254, 'x') + "\n", "KV41K725", dir, r));
  // Lines of other series are skipped whole, whatever their length.
  EXPECT_TRUE(LookupSeriesDirectory("KV40=" + std::string(400, 'x') + "\nKV41=/y\n", "KV41K725", dir, r));
  EXPECT_EQ(dir, "/y\\");
  EXPECT_FALSE(LookupSeriesDirectory("KV41=" + std::string(255, 'x') + "\n", "KV41K725", dir, r));
  EXPECT_EQ(out.str(), "\nError in configuration: line longer than 259 characters in serburn.cfg\n");
}

struct HeaderCase {
  const char* header;
  const char* chip;
  bool matches;
};

class HeaderMatch : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderMatch, Rule) {
  EXPECT_EQ(HeaderNamesChip(GetParam().header, GetParam().chip), GetParam().matches)
      << GetParam().header << " " << GetParam().chip;
}

INSTANTIATE_TEST_SUITE_P(Cases, HeaderMatch,
                         ::testing::Values(HeaderCase{"[KV40K358]", "KV40K358", true},
                                           HeaderCase{"[KV40K358/G]", "KV40K358", true},
                                           HeaderCase{"[KV40K358/G]", "KV40K358G", true},
                                           HeaderCase{"[KV40K358G/GA]", "KV40K358G", true},
                                           HeaderCase{"[KV40K358G/GA]", "KV40K358GA", true},
                                           HeaderCase{"[KV40K358G/GA]", "KV40K358", false},
                                           HeaderCase{"[KV40K358G/GA]", "KV40K358GB", false},
                                           HeaderCase{"[KV40K358]", "KV40K358G", false},
                                           HeaderCase{"[KV40K359]", "KV40K358", false},
                                           HeaderCase{"[kv40k358]", "KV40K358", false},
                                           HeaderCase{"[KV40K35]", "KV40K35", false},
                                           HeaderCase{"[KV40K358", "KV40K358", false},
                                           HeaderCase{"[KV40K358G", "KV40K358G", true},
                                           HeaderCase{" [KV40K358]", "KV40K358", false},
                                           HeaderCase{"KV40K358]", "KV40K358", false},
                                           HeaderCase{"[KV41K725/A/B]", "KV41K725B", true},
                                           HeaderCase{"[KV41K725]x/B", "KV41K725B", false}));

const char* const kKV40Record =
    "[KV40K358/G]\n"
    "DownloadFile=kv40ldr.bin\n"
    "LoadAddress=0x4000\n"
    "StartAddress=0x008000,0x010000\n"
    "EndAddress=0x00FFFF,0x01FFFF\n"
    "FlashSize=65536\n"
    "Clock=4,8,16\n"
    "Baud=4800,9600,19200\n";

RunSettings KV40Settings() {
  RunSettings s;
  s.chipName = "KV40K358";
  s.series = Series::KV40;
  s.seriesDirectory = "/series/";
  return s;
}

Outcome ReadRecord(const std::string& text, RunSettings& s) {
  std::ostringstream out;
  Reporter r(out);
  const bool ok = ReadChipRecord(text, s, r);
  return {ok, out.str()};
}

TEST(ChipRecord, ReadsFixedColumns) {
  RunSettings s = KV40Settings();
  const Outcome o = ReadRecord(std::string("[OTHER]\nx=1\n") + kKV40Record, s);
  ASSERT_TRUE(o.ok) << o.output;
  EXPECT_EQ(s.moduleFileName, "/series/kv40ldr.bin");
  EXPECT_EQ(s.loadAddress, 0x4000u);
  EXPECT_EQ(s.startAddress, 0x8000u);  // only the first area
  EXPECT_EQ(s.endAddress, 0xFFFFu);
  EXPECT_FALSE(s.downloadOption);
  EXPECT_EQ(s.clockIndex, 3);  // "16": the key counts as token 0
  EXPECT_EQ(s.biromBaud, 19200);
  EXPECT_EQ(s.progBaud, 38400);
}

TEST(ChipRecord, WindowsLineEndsGiveNoCarriageReturn) {
  std::string text = kKV40Record;
  for (size_t p = text.find('\n'); p != std::string::npos; p = text.find('\n', p + 2)) text.insert(p, "\r");
  RunSettings s = KV40Settings();
  ASSERT_TRUE(ReadRecord(text, s).ok);
  EXPECT_EQ(s.moduleFileName, "/series/kv40ldr.bin");
  EXPECT_EQ(s.biromBaud, 19200);
}

TEST(ChipRecord, ExplicitSettingsWin) {
  RunSettings s = KV40Settings();
  s.startAddress = 0xC000;
  s.moduleFileName = "mine.bin";
  s.clockText = "8";
  ASSERT_TRUE(ReadRecord(kKV40Record, s).ok);
  EXPECT_EQ(s.startAddress, 0xC000u);
  EXPECT_EQ(s.moduleFileName, "mine.bin");
  EXPECT_EQ(s.clockIndex, 2);
  EXPECT_EQ(s.biromBaud, 9600);
}

TEST(ChipRecord, ManualBaudSkipsClockAndBaudLines) {
  RunSettings s = KV40Settings();
  s.biromBaud = 4800;
  s.clockText = "77";  // would not be found
  ASSERT_TRUE(ReadRecord(kKV40Record, s).ok);
  EXPECT_EQ(s.progBaud, 9600);
  EXPECT_EQ(s.clockIndex, 0);
  s = KV40Settings();
  s.biromBaud = 4430;
  s.progBaud = 8861;
  ASSERT_TRUE(ReadRecord(kKV40Record, s).ok);
  EXPECT_EQ(s.progBaud, 8861);
}

TEST(ChipRecord, HugeBaudDoesNotOverflowWhenDoubled) {
  RunSettings s = KV40Settings();
  ASSERT_TRUE(ReadRecord("[KV40K358]\nDownloadFile=a.bin\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                         "Clock=16\nBaud=99999999999\n",
                         s)
                  .ok);
  EXPECT_EQ(s.biromBaud, 2147483647);
  EXPECT_EQ(s.progBaud, 2147483647);
  s = KV40Settings();
  s.biromBaud = 2000000000;
  ASSERT_TRUE(ReadRecord(kKV40Record, s).ok);
  EXPECT_EQ(s.progBaud, 2147483647);
}

TEST(ChipRecord, DownloadOptionLine) {
  RunSettings s = KV40Settings();
  ASSERT_TRUE(ReadRecord("[KV40K358]\nDownloadFile=a.bin\nLoadAddress=0x4000\nDownloadOption=1\n"
                         "StartAddress=0x8000\nEndAddress=0xFFFF\nFlashSize=1\nClock=16\nBaud=9600\nBaud2=57600\n",
                         s)
                  .ok);
  EXPECT_TRUE(s.downloadOption);
  EXPECT_EQ(s.startAddress, 0x8000u);
  EXPECT_EQ(s.endAddress, 0xFFFFu);
  EXPECT_EQ(s.clockIndex, 1);
  EXPECT_EQ(s.biromBaud, 9600);
  EXPECT_EQ(s.progBaud, 57600);
}

TEST(ChipRecord, DownloadOptionZeroShiftsEveryLine) {
  RunSettings s = KV40Settings();
  const Outcome o = ReadRecord("[KV40K358]\nDownloadFile=a.bin\nLoadAddress=0x4000\nDownloadOption=0\n"
                               "StartAddress=0x8000\nEndAddress=0xFFFF\nFlashSize=1\nClock=16\nBaud=9600\n",
                               s);
  EXPECT_FALSE(s.downloadOption);
  EXPECT_EQ(s.startAddress, 0x0u);     // "DownloadOption=0" from column 14 is not hexadecimal
  EXPECT_EQ(s.endAddress, 0x0u);       // "StartAddress=0x8000" from column 12: "s=..." is not hex
  EXPECT_FALSE(o.ok);                  // the clock is looked for in the FlashSize line
}

TEST(ChipRecord, ClockListWithEmptyEntry) {
  RunSettings s = KV40Settings();
  s.clockText = "8";
  ASSERT_TRUE(ReadRecord("[KV40K358]\nDownloadFile=a.bin\nLoadAddress=0x4000\nStartAddress=0x8000\n"
                         "EndAddress=0xFFFF\nFlashSize=1\nClock=4,,8\nBaud=1200,,2400\n",
                         s)
                  .ok);
  EXPECT_EQ(s.clockIndex, 2);
  EXPECT_EQ(s.biromBaud, 2400);
}

struct RecordError {
  const char* text;
  const char* clock;
  const char* message;
};

class ChipRecordErrors : public ::testing::TestWithParam<RecordError> {};

TEST_P(ChipRecordErrors, Message) {
  RunSettings s = KV40Settings();
  if (GetParam().clock != nullptr) s.clockText = GetParam().clock;
  const Outcome o = ReadRecord(GetParam().text, s);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.output, std::string("\nError in configuration: ") + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ChipRecordErrors,
    ::testing::Values(
        RecordError{"[KV40K359]\nDownloadFile=a.bin\n", nullptr, "given MCU not found in CHIPDEF.ini for KV40 series"},
        RecordError{"", nullptr, "given MCU not found in CHIPDEF.ini for KV40 series"},
        RecordError{"[KV40K358]\nDownloadFile\n", nullptr, "bad format for boot filename in CHIPDEF.ini"},
        RecordError{"[KV40K358]\n", nullptr, "bad format for boot filename in CHIPDEF.ini"},
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                    "Clock=4,8,16\nBaud=1,2,3\n",
                    "20", "/oCLOCK option not found in CHIPDEF.ini"},
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                    "Clock=4,8,16\nBaud=1,2,3\n",
                    "160", "/oCLOCK option not found in CHIPDEF.ini"},
        // The key of the clock line is no clock label, and an empty label names none.
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                    "Clock=4,8,16\nBaud=1,2,3\n",
                    "", "/oCLOCK option not found in CHIPDEF.ini"},
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                    "Clock=4,8,16\nBaud=1,2,3\n",
                    "Clock", "/oCLOCK option not found in CHIPDEF.ini"},
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                    "Clock=4,8,16\nBaud=1,2,3\n",
                    "C", "/oCLOCK option not found in CHIPDEF.ini"},
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                    "Clock=4,8,16\nBaud=1,2\n",
                    nullptr, "Baud or Baud2 parameter error in CHIPDEF.ini"},
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n"
                    "Clock=4,8,16\nBaud=1,2,3\nBaud2=5,6\n",
                    nullptr, "Baud or Baud2 parameter error in CHIPDEF.ini"},
        RecordError{"[KV40K358]\nDownloadFile=a\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\n", nullptr,
                    "/oCLOCK option not found in CHIPDEF.ini"}));

TEST(ChipRecord, OverLongLineIsRefused) {
  RunSettings s = KV40Settings();
  const Outcome o = ReadRecord("[KV40K358]\nDownloadFile=" + std::string(67, 'a') + "\n", s);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.output, "\nError in configuration: line longer than 79 characters in CHIPDEF.ini\n");
  s = KV40Settings();
  EXPECT_TRUE(ReadRecord("[KV40K358]\nDownloadFile=" + std::string(66, 'a') +
                             "\nLoadAddress=0\nStartAddress=0\nEndAddress=0\nF=1\nClock=16\nBaud=1\n",
                         s)
                  .ok);
  EXPECT_EQ(s.moduleFileName, "/series/" + std::string(66, 'a'));
}

TEST(ChipRecord, LongLinesOutsideTheRecordAreSkippedWhole) {
  RunSettings s = KV40Settings();
  // A long comment whose 80th character starts a matching header would be split there by a
  // line reader with a fixed buffer.
  const std::string text = "; " + std::string(77, '-') + std::string(kKV40Record) + "\n" + kKV40Record;
  const Outcome o = ReadRecord(text, s);
  ASSERT_TRUE(o.ok) << o.output;
  EXPECT_EQ(s.biromBaud, 19200);
  s = KV40Settings();
  EXPECT_EQ(ReadRecord("[KV40K358]" + std::string(80, ' ') + "\n", s).output,
            "\nError in configuration: line longer than 79 characters in CHIPDEF.ini\n");
}

TEST(ChipRecord, NotFoundMessageNamesTheSeries) {
  RunSettings s = KV40Settings();
  s.chipName = "KV41K725";
  s.series = Series::KV41;
  EXPECT_EQ(ReadRecord(kKV40Record, s).output,
            "\nError in configuration: given MCU not found in CHIPDEF.ini for KV41 series\n");
}

class ResolveChipFiles : public ::testing::Test {
 protected:
  Outcome Resolve(const std::string& chip) {
    s.programDirectory = dir.path() + "/";
    s.chipName = chip;
    std::ostringstream out;
    Reporter r(out);
    const bool ok = ResolveChip(s, r);
    return {ok, out.str()};
  }
  TempDir dir;
  RunSettings s;
};

TEST_F(ResolveChipFiles, KV41ChipFromItsSeriesDirectory) {
  dir.Write("serburn.cfg", "KV40=\"" + dir.path() + "/kv40\"\r\nKV41=" + dir.path() + "/kv41\r\n");
  dir.Write("kv41/CHIPDEF.ini",
            "[KV41K725]\r\nDownloadFile=fl725.bin\r\nLoadAddress=0x10000\r\nStartAddress=0x0\r\n"
            "EndAddress=0x3FFFF\r\nFlashSize=262144\r\nClock=4,8\r\nBaud=9600,19200\r\nBaud2=115200,115200\r\n");
  const Outcome o = Resolve("kv41k725");
  ASSERT_TRUE(o.ok) << o.output;
  EXPECT_EQ(*s.chipName, "KV41K725");
  EXPECT_EQ(s.series, Series::KV41);
  EXPECT_EQ(s.seriesNumber, 725);
  EXPECT_EQ(s.dialect, &kNewerKV41Birom);
  EXPECT_EQ(s.seriesDirectory, dir.path() + "/kv41\\");
  EXPECT_EQ(PlatformPath(s.moduleFileName), dir.path() + "/kv41/fl725.bin");
  EXPECT_EQ(PlatformPath(s.overlayDirectory), dir.path() + "/ovl/41/");
  EXPECT_EQ(s.clockIndex, 1);
  EXPECT_EQ(s.biromBaud, 9600);
  EXPECT_EQ(s.progBaud, 115200);
  EXPECT_EQ(s.loadAddress, 0x10000u);
}

TEST_F(ResolveChipFiles, SeriesNumber604IsTheOlderDialect) {
  dir.Write("serburn.cfg", "KV41=" + dir.path() + "\n");
  dir.Write("CHIPDEF.INI", "[KV41K604]\nDownloadFile=m.bin\nLoadAddress=0x1000\nStartAddress=0x0\n"
                           "EndAddress=0x1FFFF\nFlashSize=1\nClock=4\nBaud=9600\n");
  s.biromBaud = 4800;
  ASSERT_TRUE(Resolve("/KV41K604").ok == false);  // a chip name never begins with "/"
  s = RunSettings();
  s.biromBaud = 4800;
  const Outcome o = Resolve("KV41K604");
  ASSERT_TRUE(o.ok) << o.output;
  EXPECT_EQ(s.dialect, &kOlderKV41Birom);
  EXPECT_EQ(s.progBaud, 9600);
  EXPECT_EQ(s.seriesNumber, 604);
}

struct FileError {
  const char* cfg;  // nullptr: no serburn.cfg
  const char* chip;
  const char* message;
};

class ResolveChipErrors : public ResolveChipFiles, public ::testing::WithParamInterface<FileError> {};

// serburn.cfg beside the executable wins; without it the user's configuration directory.
TEST_F(ResolveChipFiles, SerburnCfgFromTheUsersConfigurationDirectory) {
  const std::string config = dir.path() + "/config";
  testing_support::ScopedEnv env("XDG_CONFIG_HOME", config.c_str());
  EXPECT_EQ(SerburnConfigCandidates("/opt/kv/"),
            (std::vector<std::string>{"/opt/kv/serburn.cfg", config + "/kvflash/serburn.cfg",
                                      "/etc/kvflash/serburn.cfg"}));
  std::filesystem::create_directories(config + "/kvflash");
  std::ofstream(config + "/kvflash/serburn.cfg") << "KV40=/nowhere/\n";
  Outcome o = Resolve("KV40K358");
  EXPECT_EQ(o.output, "\nError in configuration: unable to open CHIPDEF.ini\n") << "the user's file was read";
}

TEST_F(ResolveChipFiles, NoSerburnCfgSaysWhereItLooked) {
  const std::string config = dir.path() + "/config";
  testing_support::ScopedEnv env("XDG_CONFIG_HOME", config.c_str());
  const Outcome o = Resolve("KV40K358");
  EXPECT_EQ(o.output.rfind("\nError in configuration: unable to open serburn.cfg\nlooked for it in: ", 0), 0u)
      << o.output;
  EXPECT_NE(o.output.find(config + "/kvflash/serburn.cfg, /etc/kvflash/serburn.cfg\n"), std::string::npos)
      << o.output;
}

TEST_P(ResolveChipErrors, Message) {
  if (GetParam().cfg != nullptr) {
    std::string cfg = GetParam().cfg;
    const size_t p = cfg.find('@');
    if (p != std::string::npos) cfg.replace(p, 1, dir.path());
    dir.Write("serburn.cfg", cfg);
  }
  testing_support::ScopedEnv env("XDG_CONFIG_HOME", (dir.path() + "/no-config").c_str());
  const Outcome o = Resolve(GetParam().chip);
  EXPECT_FALSE(o.ok);
  // The error line; a missing serburn.cfg adds where it was looked for.
  EXPECT_EQ(o.output.rfind(std::string("\nError in configuration: ") + GetParam().message + "\n", 0), 0u) << o.output;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ResolveChipErrors,
    ::testing::Values(FileError{nullptr, "KV40K358", "unable to open serburn.cfg"},
                      FileError{"KV41=@\n", "KV40K358", "not find data for used series in serburn.cfg"},
                      FileError{"KV41=@\n", "KV42K358", "not find data for used series in serburn.cfg"},
                      FileError{"KV42=@\n", "KV42K358", "given MCU series not support. Only KV40 or KV41."},
                      FileError{"KV40=@/none\n", "KV40K358", "unable to open CHIPDEF.ini"}));

}  // namespace
}  // namespace serburn
