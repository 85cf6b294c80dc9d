// The real serburn binary against kvsim over a pseudo-terminal. A pseudo-terminal has no
// modem lines, so the runs use /t and the board starts in boot mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "serburn_process.h"
#include "temp_dir.h"
#include "tests/support/kvsim_harness.h"

namespace serburn {
namespace {

using kvsim_harness::KvsimProcess;
using testing::ProcessResult;
using testing::TempDir;

struct Chip {
  const char* name;
  const char* dialect;
  const char* clock;
  uint32_t start;
  uint32_t end;
  const char* image;  // sample image in data/hex
};

const Chip kKV40{"KV40K358", "kv40", "16", 0x4000, 0x1FFFF, "kv40k358.bin"};
const Chip kKV41Old{"KV41K604", "kv41-604", "4", 0x20000, 0x5FFFF, "kv41k604.bin"};
const Chip kKV41New{"KV41K725", "kv41", "4", 0x100000, 0x17FFFF, "kv41k725.bin"};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    serburn = testing::InstallSerburn(prog.path());
    const std::string data = kvsim_harness::SourceDataDir();
    prog.Write("serburn.cfg", "KV40=" + data + "/\r\nKV41=\"" + data + "\"\r\n");
    std::filesystem::create_directories(prog.path() + "/ovl/41");
    std::filesystem::copy_file(data + "/ovl/41/ae_flash.725", prog.path() + "/ovl/41/ae_flash.725");
  }

  bool StartBoard(const Chip& chip, std::vector<std::string> faults = {}, const std::string& flash = "",
                  std::vector<std::string> extra = {}) {
    kvsim_harness::KvsimOptions o = kvsim_harness::BoardOptions(chip.name, chip.clock, chip.dialect);
    o.faults = std::move(faults);
    o.initialFlash = flash;
    o.extraArgs = std::move(extra);
    const bool ok = board.Start(o);
    EXPECT_TRUE(ok) << board.Error();
    return ok;
  }

  ProcessResult Run(const Chip& chip, std::vector<std::string> args) {
    args.insert(args.begin(), {"/L" + board.LinkPath(), "/" + std::string(chip.name)});
    return testing::RunProcess(serburn, args, work.path());
  }

  std::string SampleImage(const Chip& chip) { return ReadFile(kvsim_harness::SourceDataDir() + "/hex/" + chip.image); }

  // The first flash area as kvsim holds it.
  std::string Area(const Chip& chip) { return board.ReadFlashImage().substr(0, chip.end - chip.start + 1); }

  TempDir prog;
  TempDir work;
  std::string serburn;
  KvsimProcess board;
};

const std::string kBanner = "\nInSystem Serial Programmer KV4X.     v3.00(w32)";

class Dialects : public EndToEnd, public ::testing::WithParamInterface<Chip> {};

TEST_P(Dialects, ProgramVerifyReadLeavesFlashAndFileEqual) {
  const Chip& chip = GetParam();
  ASSERT_TRUE(StartBoard(chip));
  const std::string image = SampleImage(chip);
  const std::string file = work.Write("image.bin", image);
  const ProcessResult r = Run(chip, {"/t", "/p", "/v", "/r", "/b", file});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string flash = Area(chip);
  EXPECT_EQ(flash.substr(0, image.size()), image);
  EXPECT_EQ(flash.substr(image.size()), std::string(flash.size() - image.size(), '\xFF'));
  EXPECT_EQ(ReadFile(file), flash);
  EXPECT_NE(r.out.find("\nWait RESET MCU.\nDownloading "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nRead   : rrrrrrrrrrrrrrrr|"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 3), " Ok");
  EXPECT_EQ(work.Count(), 1u);
}

TEST_P(Dialects, DefaultModeErasesChecksAndPrograms) {
  const Chip& chip = GetParam();
  ASSERT_TRUE(StartBoard(chip, {}, std::string(chip.end - chip.start + 1, '\x00')));
  const std::string image = SampleImage(chip);
  const ProcessResult r = Run(chip, {"/t", "/b", work.Write("image.bin", image)});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string moduleName = std::string(chip.image).substr(0, 8) + ".bin";
  std::string marks;
  for (size_t i = 0; i < image.size() / 512; ++i) marks += 'p';
  const std::string expected = kBanner + "\nDefault mode, commands: /e /c /p\nWait RESET MCU.\nDownloading " +
                               std::string(chip.name).substr(0, 4) + " " + moduleName + " for parameter /" +
                               chip.name + " :  Ok\nErase  : . Ok\nCheck  :  Ok\nProgram: ";
  EXPECT_EQ(r.out.substr(0, expected.size()), expected) << r.out;
  EXPECT_EQ(Area(chip).substr(0, image.size()), image);
}

TEST_P(Dialects, TaggedOutput) {
  const Chip& chip = GetParam();
  ASSERT_TRUE(StartBoard(chip));
  const ProcessResult r = Run(chip, {"/t", "/n", "/c"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out, kBanner + "\n--- INFO  Wait RESET MCU.\n--- INFO  Downloading " + std::string(chip.name).substr(0, 4) +
                       " " + std::string(chip.image).substr(0, 8) + ".bin for parameter /" + chip.name +
                       " :  Ok\n--- INFO  Check  :  Ok");
}

INSTANTIATE_TEST_SUITE_P(All, Dialects, ::testing::Values(kKV40, kKV41Old, kKV41New),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(EndToEnd, KV40WithDownloadOption) {
  const Chip chip{"KV40K120", "kv40", "16", 0x4000, 0xFFFF, "kv40k358.bin"};
  ASSERT_TRUE(StartBoard(chip));
  const std::string image = SampleImage(chip);
  const std::string file = work.Write("image.bin", image);
  const ProcessResult r = Run(chip, {"/t", "/p", "/v", "/r", "/b", file});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Area(chip).substr(0, image.size()), image);
  EXPECT_EQ(ReadFile(file), Area(chip));
}

TEST_F(EndToEnd, EraseAlone) {
  ASSERT_TRUE(StartBoard(kKV40, {}, std::string(kKV40.end - kKV40.start + 1, '\x12')));
  const ProcessResult r = Run(kKV40, {"/t", "/e"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Area(kKV40), std::string(kKV40.end - kKV40.start + 1, '\xFF'));
}

TEST_F(EndToEnd, AutoEraseBeforeProgramming) {
  ASSERT_TRUE(StartBoard(kKV41New, {}, std::string(kKV41New.end - kKV41New.start + 1, '\x00')));
  const std::string image = SampleImage(kKV41New);
  const ProcessResult r = Run(kKV41New, {"/t", "/u", "/p", "/v", "/b", work.Write("image.bin", image)});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("\nDownloading KV41 ae_flash.725 for parameter /KV41K725 :  Ok\nAutoErase    : ."),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Erase  :"), std::string::npos);
  const std::string flash = Area(kKV41New);
  EXPECT_EQ(flash.substr(0, image.size()), image);
  EXPECT_EQ(flash.substr(image.size()), std::string(flash.size() - image.size(), '\xFF'));
}

TEST_F(EndToEnd, MhxInput) {
  ASSERT_TRUE(StartBoard(kKV40));
  const std::string mhx = work.Write("image.mhx", ReadFile(kvsim_harness::SourceDataDir() + "/hex/kv40k358.mhx"));
  const ProcessResult r = Run(kKV40, {"/t", "/p", "/v", "/b", mhx});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string image = SampleImage(kKV40);
  EXPECT_EQ(Area(kKV40).substr(0, image.size()), image);
  EXPECT_EQ(work.Count(), 1u);  // no temporary file left
}

TEST_F(EndToEnd, RangeFromStartSwitch) {
  ASSERT_TRUE(StartBoard(kKV40));
  const std::string image(1024, '\x5A');
  const ProcessResult r = Run(kKV40, {"/t", "/s0x8000", "/p", "/b", work.Write("i.bin", image)});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string flash = Area(kKV40);
  EXPECT_EQ(flash.substr(0x8000 - kKV40.start, 1024), image);
  EXPECT_EQ(flash.substr(0, 0x8000 - kKV40.start), std::string(0x8000 - kKV40.start, '\xFF'));
}

TEST_F(EndToEnd, ManualBaudLeavesTheModulesClockByte) {
  ASSERT_TRUE(StartBoard(kKV40));
  // With /i the clock byte of the module file stays as it is (0: the 4 MHz entry, whose
  // module rate is 9600), while the boot ROM listens at the fitted 16 MHz entry's rate.
  const ProcessResult r = Run(kKV40, {"/t", "/i19200:9600", "/c"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 13), "\nCheck  :  Ok");
  ASSERT_TRUE(board.WaitForEvents("exec", 1));
  EXPECT_EQ(kvsim_harness::EventField(board.Events("exec").at(0), "clock_byte"), "0");
}

struct ExitCase {
  const char* label;
  std::vector<std::string> args;
  std::vector<std::string> faults;
  int exitCode;
  const char* message;
};

class ExitCodes : public EndToEnd, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodes, ClassAndMessage) {
  ASSERT_TRUE(StartBoard(kKV40, GetParam().faults));
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) {
    if (a == "IMAGE") a = work.Write("image.bin", SampleImage(kKV40));
  }
  const ProcessResult r = Run(kKV40, args);
  EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.out;
  EXPECT_NE(r.out.find(GetParam().message), std::string::npos) << r.out;
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_LE(work.Count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitCodes,
    ::testing::Values(
        ExitCase{"Config", {"/t", "/o20"}, {}, 1, "\nError in configuration: /oCLOCK option not found in CHIPDEF.ini\n"},
        ExitCase{"PinsOnPty", {"/c"}, {}, 2, "\nCOM-port error: unable to control state of DTR/RTS pins\n"},
        ExitCase{"PinsOnPtyQ", {"/c", "/q"}, {}, 1, "\nCOM-port error: unable to control state of DTR/RTS pins\n"},
        ExitCase{"File", {"/t", "/p", "/b", "missing.bin"}, {}, 3, "\nFile operations error: unable to open data file\n"},
        ExitCase{"FileQ", {"/t", "/q", "/p", "/b", "missing.bin"}, {}, 1, "unable to open data file\n"},
        ExitCase{"Birom", {"/t", "/c"}, {"boot-reply=2:15", "boot-reply=4:15", "boot-reply=6:15", "boot-reply=8:15",
                                        "boot-reply=10:15"},
                 4, " : :::::\nBIROM operations error: MCU not reply during executing 'DOWNLOAD' command\n"},
        ExitCase{"Module", {"/t", "/e"}, {"erase-fail=1"}, 5, "\nErase  : .\nRAM-execute operations error: COMMAND fails\n"},
        ExitCase{"ModuleQ", {"/t", "/q", "/e"}, {"erase-fail=1"}, 1, "RAM-execute operations error: COMMAND fails\n"},
        ExitCase{"CrcTwice", {"/t", "/p", "/b", "IMAGE"}, {"crc-write=1", "crc-write=2"}, 5,
                 "\nProgram: \nRAM-execute operations error: CRC error in transmit data block\n"},
        ExitCase{"ReadCrcTwice", {"/t", "/p", "/v", "/b", "IMAGE"}, {"crc-read=1", "crc-read=3"}, 5,
                 "\nVerify : v\nRAM-execute operations error: CRC error in received data block\n"},
        ExitCase{"WriteFailTwice", {"/t", "/p", "/b", "IMAGE"}, {"write-fail=1", "write-fail=2"}, 5,
                 "\nProgram: \nRAM-execute operations error: 'write block' fails\n"}),
    [](const auto& p) { return std::string(p.param.label); });

struct RecoverCase {
  const char* label;
  std::vector<std::string> faults;
};

class Recovers : public EndToEnd, public ::testing::WithParamInterface<RecoverCase> {};

TEST_P(Recovers, RetryOnceThenSuccess) {
  ASSERT_TRUE(StartBoard(kKV40, GetParam().faults));
  const std::string image = SampleImage(kKV40);
  const std::string file = work.Write("image.bin", image);
  const ProcessResult r = Run(kKV40, {"/t", "/p", "/v", "/b", file});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Area(kKV40).substr(0, image.size()), image);
}

INSTANTIATE_TEST_SUITE_P(Cases, Recovers,
                         ::testing::Values(RecoverCase{"CrcWrite", {"crc-write=3"}},
                                           RecoverCase{"CrcRead", {"crc-read=2"}},
                                           RecoverCase{"ShortFrame", {"short-read=1"}},
                                           RecoverCase{"ShortFrameTwice", {"short-read=1", "short-read=2"}},
                                           RecoverCase{"WriteFail", {"write-fail=4"}},
                                           RecoverCase{"DownloadRetry", {"boot-reply=2:15"}}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_F(EndToEnd, ShortFrameThreeTimesFails) {
  ASSERT_TRUE(StartBoard(kKV40, {"short-read=1", "short-read=2", "short-read=3"}));
  const ProcessResult r = Run(kKV40, {"/t", "/r", "/b", "out.bin"});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_NE(r.out.find("\nRead   : \nRAM-execute operations error: received data block has incorrect size\n"),
            std::string::npos)
      << r.out;
}

TEST_F(EndToEnd, VerifyDifference) {
  std::string flash(kKV40.end - kKV40.start + 1, '\xFF');
  const std::string image = SampleImage(kKV40);
  flash.replace(0, image.size(), image);
  flash[0x234] = static_cast<char>(image[0x234] ^ 0x0F);
  ASSERT_TRUE(StartBoard(kKV40, {}, flash));
  const ProcessResult r = Run(kKV40, {"/t", "/v", "/b", work.Write("image.bin", image)});
  EXPECT_EQ(r.exitCode, 5);
  char expected[120];
  std::snprintf(expected, sizeof expected,
                "\nVerify : v\nRAM-execute operations error: Verify FAIL. Address=0x004234: readed=0x%02x, must be=0x%02x \n",
                static_cast<unsigned char>(flash[0x234]), static_cast<unsigned char>(image[0x234]));
  EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
}

TEST_F(EndToEnd, UsageAndHelpStayOutOfStandardOutput) {
  ASSERT_TRUE(StartBoard(kKV40));
  ProcessResult r = testing::RunProcess(serburn, {}, work.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner);
  r = testing::RunProcess(serburn, {"/h"}, work.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner);
}

TEST_F(EndToEnd, ResetOnlyOnAPtyNeedsNoPins) {
  ASSERT_TRUE(StartBoard(kKV40));
  ProcessResult r = testing::RunProcess(serburn, {"/L" + board.LinkPath(), "/t", "/g"}, work.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, kBanner + "\nGeneration RESET impuls");
}

TEST_F(EndToEnd, ResetOnlyOnAPtyWithPinsFails) {
  ASSERT_TRUE(StartBoard(kKV40));
  ProcessResult r = testing::RunProcess(serburn, {"/L" + board.LinkPath(), "/g"}, work.path());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, kBanner + "\nGeneration RESET impuls\nCOM-port error: unable to control state of DTR/RTS pins\n");
}

TEST_F(EndToEnd, StartOnlyLeavesTheModuleRunning) {
  ASSERT_TRUE(StartBoard(kKV41New));
  const ProcessResult r =
      Run(kKV41New, {"/t", "/d", kvsim_harness::SourceDataDir() + "/kv41k725.bin"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 27), "\nStart RAMexecute module Ok");
  EXPECT_TRUE(board.WaitForEvents("exec", 1));
}

}  // namespace
}  // namespace serburn
