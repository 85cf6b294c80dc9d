// The real serburn binary against kvsim over a pseudo-terminal. A pseudo-terminal has no
// modem lines, so the runs use /t and the board starts in boot mode.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "tests/support/elf_file.h"
#include "tests/support/scoped_env.h"

namespace serburn {
namespace {

using kvsim_harness::KvsimProcess;
using testing::Chip;
using testing::EndToEnd;
using testing::kKV40;
using testing::kKV41New;
using testing::kKV41Old;
using testing::ProcessResult;
using testing::ReadFile;
using testing::TempDir;

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

// Blocks that are blank in the file are read and compared unless this run erased the flash:
// stale data there fails the verify instead of passing as "Ok".
TEST_F(EndToEnd, VerifyFindsStaleDataWhereTheFileIsBlank) {
  std::string image = SampleImage(kKV41New).substr(0, 4 * 512);
  image.replace(2 * 512, 512, std::string(512, '\xFF'));
  std::string flash(kKV41New.end - kKV41New.start + 1, '\xFF');
  flash.replace(0, image.size(), image);
  flash[2 * 512 + 17] = 0x3C;  // left over from an earlier program
  ASSERT_TRUE(StartBoard(kKV41New, {}, flash));
  const std::string file = work.Write("image.bin", image);
  ProcessResult r = Run(kKV41New, {"/t", "/v", "/b", file});
  EXPECT_EQ(r.exitCode, 5) << r.out;
  EXPECT_NE(r.out.find("\nVerify : vv\nRAM-execute operations error: Verify FAIL. Address=0x100411: readed=0x3c, "
                       "must be=0xff \n"),
            std::string::npos)
      << r.out;
  // Erased in the same run, the blank block is known and skipped.
  ASSERT_TRUE(board.ResetIntoBoot());
  r = Run(kKV41New, {"/t", "/e", "/p", "/v", "/b", file});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("\nVerify : vv.v Ok"), std::string::npos) << r.out;
  EXPECT_EQ(Area(kKV41New).substr(0, image.size()), image);
}

// A read into a .mhx name writes S2 records of the whole range, which program back.
TEST_F(EndToEnd, ReadOutIntoMhxWritesS2Records) {
  std::string flash(kKV40.end - kKV40.start + 1, '\xFF');
  const std::string image = SampleImage(kKV40);
  flash.replace(0, image.size(), image);
  ASSERT_TRUE(StartBoard(kKV40, {}, flash));
  const std::string mhx = work.File("out.mhx");
  ProcessResult r = Run(kKV40, {"/t", "/r", "/b", mhx});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string text = ReadFile(mhx);
  EXPECT_EQ(text.substr(0, 11), "S0030000FC\n");
  EXPECT_EQ(text.substr(text.size() - 13), "S804000000FB\n");
#ifdef SREC_CAT
  const std::string bin = work.File("out.bin");
  const std::string cmd = std::string(SREC_CAT) + " " + mhx + " -offset -0x4000 -o " + bin + " -binary";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(ReadFile(bin), flash);
  std::filesystem::remove(bin);
#endif
  // The read-out programs a blank board back to the same flash.
  board.Stop();
  ASSERT_TRUE(StartBoard(kKV40));
  r = Run(kKV40, {"/t", "/e", "/p", "/v", "/b", mhx});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Area(kKV40), flash);
  EXPECT_EQ(work.Count(), 1u);
}

// Ctrl-C or kill while a read-out is being written leaves the old file and no temporary one.
TEST_F(EndToEnd, InterruptedReadOutKeepsTheOldFile) {
  ASSERT_TRUE(StartBoard(kKV41New, {"no-status=read:3"}));
  const std::string old = work.Write("out.bin", "an earlier read-out");
  const std::vector<std::string> args = {"/L" + board.LinkPath(), "/KV41K725", "/t", "/r", "/b", old};
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    setsid();
    std::vector<char*> argv = {const_cast<char*>(serburn.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(serburn.c_str(), argv.data());
    _exit(127);
  }
  // The third read frame never ends: serburn waits there with its temporary file open.
  ASSERT_TRUE(board.WaitForEvents("fault", 1, 10000));
  EXPECT_EQ(work.Count(), 2u);
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  EXPECT_EQ(ReadFile(old), "an earlier read-out");
  EXPECT_EQ(work.Count(), 1u);
}

// A port that cannot be opened: the usual error line, then the device and the reason, as
// information lines that scripts reading the error line can ignore.
TEST_F(EndToEnd, PortErrorsSayWhichDeviceAndWhy) {
  ProcessResult r = testing::RunProcess(serburn, {"/L/dev/ttyNOSUCH9", "/n", "/t", "/KV40K358"}, work.path());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("\n*** ERROR COM-port error: unable to open COM\n--- INFO  device /dev/ttyNOSUCH9: No such file "
                       "or directory\n--- INFO  "),
            std::string::npos)
      << r.out;
  // A board that another programmer holds.
  ASSERT_TRUE(StartBoard(kKV40));
  const int held = open(board.LinkPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  r = Run(kKV40, {"/t", "/c"});
  close(held);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("\nCOM-port error: unable to open COM\ndevice " + board.LinkPath() + ": "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("held by "), std::string::npos) << r.out;
}

// On a terminal the run's last line is ended, so the shell prompt starts on a line of its
// own; redirected output keeps ending in " Ok".
TEST_F(EndToEnd, OutputOnATerminalEndsWithALineBreak) {
  ASSERT_TRUE(StartBoard(kKV40));
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::string link = "/L" + board.LinkPath();
    execl(serburn.c_str(), serburn.c_str(), link.c_str(), "/t", "/KV40K358", "/c", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string seen;
  char buffer[256];
  for (;;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the child has gone
    seen.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0) << seen;
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(seen.substr(seen.size() - 5), " Ok\r\n") << seen;  // the terminal shows \n as \r\n
  ASSERT_TRUE(board.ResetIntoBoot());
  const ProcessResult r = Run(kKV40, {"/t", "/c"});
  EXPECT_EQ(r.out.substr(r.out.size() - 3), " Ok");
}

#ifdef SREC_CAT
// Intel-Hex and S-record files are recognised by their content and programmed as the
// bytes they describe, not as their text.
TEST_F(EndToEnd, HexRecordFilesAreProgrammedAsTheirBytes) {
  const std::string image = SampleImage(kKV40);
  const std::string bin = work.Write("image.bin", image);
  for (const char* format : {"-intel", "-motorola"}) {
    ASSERT_TRUE(StartBoard(kKV40));
    const std::string hex = work.File("image.hex");
    const std::string cmd = std::string(SREC_CAT) + " " + bin + " -binary -offset 0x4000 -o " + hex + " " + format;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const ProcessResult r = Run(kKV40, {"/t", "/e", "/p", "/v", "/b", hex});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find(std::string("\nData file: ") + (format[1] == 'i' ? "Intel-Hex" : "S-record") + " records\nWait"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Area(kKV40).substr(0, image.size()), image) << format;
    board.Stop();
  }
}
#endif

TEST_F(EndToEnd, ElfExecutableIsProgrammedAtItsPhysicalAddresses) {
  ASSERT_TRUE(StartBoard(kKV40));
  const std::string image = SampleImage(kKV40);
  const std::string elf = work.Write(
      "fw.elf", elf_test::ElfFile({{PT_LOAD, 0x4000, std::vector<uint8_t>(image.begin(), image.end()), 0}}));
  const ProcessResult r = Run(kKV40, {"/t", "/e", "/p", "/v", "/b", elf});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("\nData file: ELF executable, 1 loadable segment(s)"), std::string::npos) << r.out;
  EXPECT_EQ(Area(kKV40).substr(0, image.size()), image);
}

TEST_F(EndToEnd, TextThatOnlyBeginsLikeRecordsIsBinaryWithAWarning) {
  ASSERT_TRUE(StartBoard(kKV40));
  std::string text = ":10000000 not really a record\n";
  text += std::string(512 - text.size(), 'x');
  const ProcessResult r = Run(kKV40, {"/t", "/e", "/p", "/b", work.Write("notes.hex", text)});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("\nWarning: data file begins like hex records but is not all records; it is programmed as "
                       "binary\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(Area(kKV40).substr(0, 512), text);
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

// The board registers in the runtime directory it inherits; serburn lists it from there.
TEST_F(EndToEnd, ListPortsShowsARunningSimulatedBoardAndWhetherItIsHeld) {
  TempDir runtime;
  testing_support::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().c_str());
  ASSERT_TRUE(StartBoard(kKV40));
  const std::string line = board.LinkPath() + "  simulated KV40K358";
  ProcessResult r = testing::RunProcess(serburn, {"--list-ports"}, work.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind(kBanner + "\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\n" + line + "\n"), std::string::npos) << r.out;

  const int holder = open(board.LinkPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  r = testing::RunProcess(serburn, {"--list-ports"}, work.path());
  close(holder);
  EXPECT_NE(r.out.find("\n" + line + "  [in use]\n"), std::string::npos) << r.out;

  EXPECT_EQ(board.Stop(), 0);
  r = testing::RunProcess(serburn, {"--list-ports"}, work.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find(board.LinkPath()), std::string::npos) << r.out;
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
