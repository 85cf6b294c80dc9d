// kvsim's checks of what it receives (line rate, clock byte, load address, program image),
// its resets, its flash model and its image file, through a real pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/sim/sim_test_util.h"

namespace kvsim_test {
namespace {

using kvsim_harness::EventField;
using kvsim_harness::KvsimProcess;

Bytes Os3f10Program(uint8_t clockByte) { return WithClockByte(ReadFile(Data("os3f10.ctl")), clockByte); }

TEST(KvsimLine, PrintsItsDeviceAndLinksPathToIt) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10())) << board.Error();
  EXPECT_EQ(board.DevicePath().rfind("/dev/pts/", 0), 0u) << board.DevicePath();
  EXPECT_EQ(std::filesystem::read_symlink(board.LinkPath()).string(), board.DevicePath());
  const auto start = board.Events("start");
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(EventField(start[0], "device"), board.DevicePath());
  EXPECT_EQ(EventField(start[0], "boot_baud"), "9600");
  EXPECT_EQ(EventField(start[0], "command_baud"), "19200");
  EXPECT_EQ(board.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(board.LinkPath())));
}

TEST(KvsimLine, BadStartsAreReportedWithKvsimsMessage) {
  struct Bad {
    const char* chip;
    const char* clock;
    const char* message;
  };
  for (const Bad& bad : {Bad{"NOSUCH", "8", "no section for chip NOSUCH"}, Bad{"OS3F10", "12", "has no clock 12"}}) {
    KvsimProcess board;
    EXPECT_FALSE(board.Start(kvsim_harness::BoardOptions(bad.chip, bad.clock)));
    EXPECT_NE(board.Error().find(bad.message), std::string::npos) << board.Error();
  }
  KvsimProcess board;
  auto o = Os3f10({"crc-write=0"});
  EXPECT_FALSE(board.Start(o));
  EXPECT_NE(board.Error().find("bad fault 'crc-write=0'"), std::string::npos) << board.Error();
}

TEST(KvsimLine, HelpDocumentsTheBoard) {
  FILE* help = popen((kvsim_harness::KvsimPath() + " --help").c_str(), "r");
  ASSERT_NE(help, nullptr);
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, help)) > 0) text.append(buffer, n);
  EXPECT_EQ(pclose(help), 0);
  EXPECT_EQ(text.rfind("Usage: kvsim --link PATH", 0), 0u);
  EXPECT_NE(text.find("Faults (--fault FAULT"), std::string::npos);
}

TEST(KvsimLine, SyncAtAWrongBootRateIsLineGarbage) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10())) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 19200));  // the board listens at 9600
  host.Send({0x18});
  EXPECT_FALSE(host.ReceiveByte(300).has_value());
  const auto rx = board.Events("rx");
  ASSERT_EQ(rx.size(), 1u);
  EXPECT_EQ(EventField(rx[0], "garbage"), "true");
  EXPECT_EQ(EventField(rx[0], "line_baud"), "19200");
  EXPECT_EQ(EventField(rx[0], "board_baud"), "9600");
  // A rate within 3 % still works; so does a non-standard one when the board uses it.
  host.SetBaud(9800);
  host.Send({0x18});
  EXPECT_EQ(host.ReceiveByte(), 0x11);
}

TEST(KvsimLine, NonStandardRatesOfTheConsoleProgrammer) {
  KvsimProcess board;
  auto o = kvsim_harness::BoardOptions("KV40K358", "16", "kv40");
  o.extraArgs = {"--boot-baud", "4430", "--command-baud", "8861"};
  ASSERT_TRUE(board.Start(o)) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 4430));
  EXPECT_EQ(host.BootRomDownload(WithClockByte(ReadFile(Data("kv40k358.bin")), 2), 0x0400),
            (Bytes{0x11, 0x01, 0x11, '1'}));
  host.SetBaud(8861);
  host.Send({0xE8});
  EXPECT_EQ(host.ReceiveByte(), '1');
}

TEST(KvsimLine, CommandsAtTheBootRateAfterTheStartAreLost) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10())) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), kOsBootBaud));
  ASSERT_EQ(host.BootRomDownload(Os3f10Program(1), 0x0400), (Bytes{0x11, 0x01, 0x11, '1'}));
  host.Send({0xE8});  // forgot the switch to the command rate
  EXPECT_FALSE(host.ReceiveByte(300).has_value());
  host.SetBaud(kOsCommandBaud);
  host.Send({0xE8});
  EXPECT_EQ(host.ReceiveByte(), '1');
}

TEST(KvsimLine, BoardBytesReachAHostAtTheWrongRateAsGarbage) {
  KvsimProcess board;
  auto o = Os3f10();
  o.eraseMs = 300;
  MiniHost host;
  ASSERT_TRUE(StartControlProgram(board, o, host));
  host.Send({0x38, 0x00, 0x40, 0x00});
  EXPECT_EQ(host.ReceiveByte(), '0');
  host.SetBaud(38400);  // while the board erases
  EXPECT_EQ(host.ReceiveByte(), static_cast<uint8_t>(~'1'));
  const auto tx = board.Events("tx");
  ASSERT_FALSE(tx.empty());
  EXPECT_EQ(EventField(tx.back(), "garbage"), "true");
}

TEST(KvsimLine, WrongClockByteRunsTheProgramAtAnotherRateAndFailsFlashWork) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10())) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), kOsBootBaud));
  // Told 4 MHz (index 0) on a board with 8 MHz (index 1): the start answer still comes.
  ASSERT_EQ(host.BootRomDownload(Os3f10Program(0), 0x0400), (Bytes{0x11, 0x01, 0x11, '1'}));
  const auto exec = board.Events("exec");
  ASSERT_EQ(exec.size(), 1u);
  EXPECT_EQ(EventField(exec[0], "clock_byte"), "0");
  EXPECT_EQ(EventField(exec[0], "clock_index"), "1");
  EXPECT_EQ(EventField(exec[0], "program_baud"), "9600");
  host.SetBaud(kOsCommandBaud);
  host.Send({0xE8});
  EXPECT_FALSE(host.ReceiveByte(300).has_value());
  // Even at the rate it chose, its flash timing is wrong.
  host.SetBaud(9600);
  host.Send({0xE8});
  EXPECT_EQ(host.ReceiveByte(), '1');
  EXPECT_EQ(host.Command(0x38, kOsBase), (Bytes{'0', '4'}));
  EXPECT_EQ(host.WriteBlock(kOsBase, Bytes(512, 0x55)), (Bytes{'0', '4'}));
}

TEST(KvsimLine, ProgramLoadedAtTheWrongAddressNeverAnswers) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10())) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), kOsBootBaud));
  EXPECT_EQ(host.BootRomDownload(Os3f10Program(1), 0x0500), (Bytes{0x11, 0x01, 0x11, 0xFF}));
  const auto exec = board.Events("exec");
  ASSERT_EQ(exec.size(), 1u);
  EXPECT_EQ(EventField(exec[0], "ok"), "false");
}

TEST(KvsimLine, LoadFrameWithABadSumIsRefusedAndACorruptedProgramHangs) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10())) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), kOsBootBaud));
  Bytes frame = BootLoadFrame(Os3f10Program(1), 0x0400);
  frame.back() = static_cast<uint8_t>(frame.back() + 1);
  host.Send({0x18});
  EXPECT_EQ(host.ReceiveByte(), 0x11);
  host.Send(frame);
  EXPECT_EQ(host.ReceiveByte(), 0x15);
  // A body byte changed, with a frame sum that fits: loaded, but the program is broken.
  Bytes broken = Os3f10Program(1);
  broken[100] = static_cast<uint8_t>(broken[100] ^ 0x01);
  EXPECT_EQ(host.BootRomDownload(broken, 0x0400), (Bytes{0x11, 0x01, 0x11, 0xFF}));
  EXPECT_NE(EventField(board.Events("exec").at(0), "why").find("CRC"), std::string::npos);
}

TEST(KvsimLine, ResetIntoNormalModeAndBackIntoBootMode) {
  KvsimProcess board;
  MiniHost host;
  ASSERT_TRUE(StartControlProgram(board, Os3f10(), host));
  ASSERT_TRUE(board.ResetIntoNormal());
  host.Send({0xE8});
  EXPECT_FALSE(host.ReceiveByte(200).has_value());
  host.SetBaud(kOsBootBaud);
  host.Send({0x18});
  EXPECT_FALSE(host.ReceiveByte(200).has_value());
  ASSERT_TRUE(board.ResetIntoBoot());
  host.Send({0x18});
  EXPECT_EQ(host.ReceiveByte(), 0x11);
  // The program is gone: a start without a new download hangs.
  host.Send({0x40, 0, 0, 0, 0});
  EXPECT_FALSE(host.ReceiveByte(200).has_value());
  const auto resets = board.Events("reset");
  ASSERT_EQ(resets.size(), 2u);
  EXPECT_EQ(EventField(resets[0], "mode"), "normal");
  EXPECT_EQ(EventField(resets[1], "mode"), "boot");
}

TEST(KvsimLine, ControlFifoResetsTheBoard) {
  KvsimProcess board;
  auto o = Os3f10();
  o.controlFifo = true;
  o.extraArgs = {"--start-normal"};
  ASSERT_TRUE(board.Start(o)) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), kOsBootBaud));
  host.Send({0x18});
  EXPECT_FALSE(host.ReceiveByte(200).has_value());
  const int fd = open(board.ControlPath().c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "boot\n", 5), 5);
  close(fd);
  ASSERT_TRUE(board.WaitForEvents("reset", 2));
  host.Send({0x18});
  EXPECT_EQ(host.ReceiveByte(), 0x11);
  EXPECT_EQ(board.Stop(), 0);
  EXPECT_NE(access(board.ControlPath().c_str(), F_OK), 0);  // removed at the end
  EXPECT_NE(access(board.LinkPath().c_str(), F_OK), 0);
}

TEST(KvsimLine, IncompleteFrameIsDroppedAfterTheFrameTimeOut) {
  KvsimProcess board;
  auto o = Os3f10();
  o.extraArgs = {"--frame-timeout-ms", "100"};
  MiniHost host;
  ASSERT_TRUE(StartControlProgram(board, o, host));
  EXPECT_EQ(host.Command(0x08, kOsBase), (Bytes{'0', '1'}));
  host.Send(Bytes(300, 0x00));  // the rest of the frame never comes
  EXPECT_TRUE(board.WaitForEvents("ignored", 1));
  host.Send({0xE8});
  EXPECT_EQ(host.ReceiveByte(), '1');
}

TEST(KvsimLine, NorFlashOnlyClearsBits) {
  KvsimProcess board;
  MiniHost host;
  ASSERT_TRUE(StartControlProgram(board, Os3f10(), host));
  EXPECT_EQ(host.WriteBlock(kOsBase, Bytes(512, 0xF0)), (Bytes{'0', '1'}));
  EXPECT_EQ(host.WriteBlock(kOsBase, Bytes(512, 0x30)), (Bytes{'0', '1'}));  // clears more bits
  EXPECT_EQ(host.WriteBlock(kOsBase, Bytes(512, 0x0F)), (Bytes{'0', '4'}));  // needs 0 -> 1
  EXPECT_EQ(Slice(board.ReadFlashImage(), 0, 512), Bytes(512, 0x00));
  EXPECT_EQ(host.WriteBlock(kOsBase, Bytes(512, 0x0F), true), (Bytes{'5'}));  // bad frame CRC
}

TEST(KvsimLine, BlocksOutsideTheFlashAreRefused) {
  KvsimProcess board;
  MiniHost host;
  ASSERT_TRUE(StartControlProgram(board, Os3f10(), host));
  for (uint32_t address : {0x3E00u, 0x10000u, 0x4100u}) {
    EXPECT_EQ(host.Command(0x08, address), (Bytes{'0', '4'})) << std::hex << address;
    EXPECT_EQ(host.Command(0x28, address), (Bytes{'0', '4'})) << std::hex << address;
  }
  EXPECT_EQ(host.Command(0x38, 0x2000), (Bytes{'0', '4'}));
}

TEST(KvsimLine, BlockThatRunsPastTheEndOfItsAreaKeepsOnlyTheBytesInside) {
  char pattern[] = "/tmp/kvsim-chipdef-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string chipdef = dir + "/CHIPDEF.INI";
  {
    std::ofstream out(chipdef);
    out << "[PARTIAL]\nDownloadFile=os3f10.ctl\nLoadAddress=0x0400\nStartAddress=0x4000,0x5000\n"
           "EndAddress=0x47FF,0x5A01\nFlashSize=4610\nClock=4,8,16\nBaud=4800,9600,19200\n";
  }
  KvsimProcess board;
  auto o = Os3f10();
  o.chipdef = chipdef;
  o.chip = "PARTIAL";
  MiniHost host;
  const bool started = StartControlProgram(board, o, host);
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(started);
  const Bytes block = Pattern(512, 3);
  EXPECT_EQ(host.WriteBlock(0x5A00, block), (Bytes{'0', '1'}));
  const std::string image = board.ReadFlashImage();
  ASSERT_EQ(image.size(), 0x5A02u - 0x4000u);
  EXPECT_EQ(Slice(image, 0x1A00, 2), Bytes(block.begin(), block.begin() + 2));
  Bytes frame;
  ASSERT_EQ(host.ReadBlock(0x5A00, frame), (Bytes{'0', '1'}));
  ASSERT_EQ(frame.size(), 515u);
  Bytes expected(512, 0xFF);
  expected[0] = block[0];
  expected[1] = block[1];
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 512), expected);
  EXPECT_EQ(host.Command(0x08, 0x4800), (Bytes{'0', '4'}));  // in the gap
}

TEST(KvsimLine, ExistingImageFileIsTheFlashContents) {
  KvsimProcess board;
  auto o = Os3f10();
  o.initialFlash = std::string(0xC000, '\xFF');
  o.initialFlash[0x200] = 0x12;
  MiniHost host;
  ASSERT_TRUE(StartControlProgram(board, o, host));
  Bytes frame;
  ASSERT_EQ(host.ReadBlock(kOsBase + 0x200, frame), (Bytes{'0', '1'}));
  ASSERT_EQ(frame.size(), 515u);
  EXPECT_EQ(frame[0], 0x12);
  EXPECT_EQ(host.Command(0x48, kOsBase), (Bytes{'0', '4'}));
  EXPECT_EQ(host.Receive(6), (Bytes{0x00, 0x00, 0x42, 0x00, 0x12, 0xFF}));
}

TEST(KvsimLine, ImageFileOfTheWrongSizeIsRefused) {
  KvsimProcess board;
  auto o = Os3f10();
  o.initialFlash = "short";
  EXPECT_FALSE(board.Start(o));
  EXPECT_NE(board.Error().find("not a flash image"), std::string::npos) << board.Error();
}

TEST(KvsimLine, PacedBoardStillHonoursEveryByte) {
  KvsimProcess board;
  auto o = kvsim_harness::BoardOptions("OS3F80", "16");
  o.pace = true;
  o.eraseMs = 50;
  ASSERT_TRUE(board.Start(o)) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 19200));
  ASSERT_EQ(host.BootRomDownload(WithClockByte(ReadFile(Data("os3f80.ctl")), 1), 0x0800),
            (Bytes{0x11, 0x01, 0x11, '1'}));
  host.SetBaud(57600);
  host.Send({0xE8});
  EXPECT_EQ(host.ReceiveByte(), '1');
  EXPECT_EQ(host.Command(0x38, 0xFC0000), (Bytes{'0', '1'}));
  const Bytes block = Pattern(512, 7);
  EXPECT_EQ(host.WriteBlock(0xFFFE00, block), (Bytes{'0', '1'}));
  Bytes frame;
  ASSERT_EQ(host.ReadBlock(0xFFFE00, frame), (Bytes{'0', '1'}));
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 512), block);
  EXPECT_EQ(Slice(board.ReadFlashImage(), 0x3FE00, 512), block);
}

}  // namespace
}  // namespace kvsim_test
