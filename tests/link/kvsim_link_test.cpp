// The link against kvsim, the simulated board, over a real pseudo-terminal: every command
// sequence as the main window runs it, with the scripted user pressing the board's reset
// button at the reset prompt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "flash/link/flash_link.h"
#include "tests/link/kvsim_link_fixture.h"
#include "tests/support/elf_file.h"

namespace flash::testing {
namespace {

class KvsimLinkTest : public KvsimLinkFixture {};

TEST_F(KvsimLinkTest, DownloadAtBothBaudRates) {
  StartBoard("OS3F10", "8");
  link.RunDownload();
  EXPECT_TRUE(link.Downloaded());
  EXPECT_TRUE(ui.Saw("info It transferred a control program to the microcomputer"));
  EXPECT_EQ(ui.Count("step"), 8);
  EXPECT_EQ(link.CommandBaud(), 19200u);
  const auto bauds = board.Events("baud");
  ASSERT_GE(bauds.size(), 2u);
  EXPECT_EQ(kvsim_harness::EventField(bauds[bauds.size() - 2], "line_baud"), "9600");
  EXPECT_EQ(kvsim_harness::EventField(bauds.back(), "line_baud"), "19200");
  const auto exec = board.Events("exec");
  ASSERT_EQ(exec.size(), 1u);
  EXPECT_EQ(kvsim_harness::EventField(exec[0], "ok"), "true");
  EXPECT_EQ(kvsim_harness::EventField(exec[0], "clock_byte"), "1");
}

TEST_F(KvsimLinkTest, DownloadWithDownloadOption) {
  StartBoard("OS3F30", "16");
  link.RunDownload();
  EXPECT_TRUE(link.Downloaded()) << ::testing::PrintToString(ui.log);
  EXPECT_EQ(link.CommandBaud(), 38400u);
}

TEST_F(KvsimLinkTest, WrongBootRomReplyShowsTheByte) {
  StartBoard("OS3F10", "8", {"boot-reply=1:05"});
  link.RunDownload();
  EXPECT_TRUE(ui.Saw("info ERROR !!    MCU : 05H\r\n No.001 Download error"));
  EXPECT_FALSE(link.Downloaded());
  EXPECT_TRUE(ui.Saw("state not downloaded"));
}

TEST_F(KvsimLinkTest, EraseStepsTheBarWhileTheBoardErases) {
  std::string flash(kTwoAreaSize, '\0');
  std::fill(flash.begin() + 0x800, flash.begin() + 0x1000, '\xFF');  // the gap between the areas
  StartBoard("TWOAREA", "16", {}, flash, {"--erase-ms", "2600"});
  Download();
  link.RunErase();
  EXPECT_TRUE(ui.Saw("info  Erasing"));
  EXPECT_TRUE(ui.Saw("info It Erased a flash"));
  EXPECT_EQ(ui.positions, (std::vector<int>{0, 1, 2, 5})) << ::testing::PrintToString(ui.log);
  ExpectFlashEquals(std::vector<uint8_t>(kTwoAreaSize, 0xFF));
  // Erase sends the first area's start.
  const auto commands = board.Events("erase");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(kvsim_harness::EventField(commands[0], "address"), "0x004000");
}

TEST_F(KvsimLinkTest, BlankCheckAloneShowsTheAddressDetail) {
  std::string flash(kTwoAreaSize, '\xFF');
  flash[0x1002] = '\x00';
  StartBoard("TWOAREA", "16", {}, flash);
  Download();
  link.RunBlankCheck();
  EXPECT_TRUE(ui.Saw("info A flash isn't erased\r\n ErrorAddress = 0x00005002\r\n Flash : 0x00FF"))
      << ::testing::PrintToString(ui.log);
  ui.log.clear();
  link.RunErase();
  link.RunBlankCheck();
  EXPECT_TRUE(ui.Saw("info A flash is Erased "));
}

TEST_F(KvsimLinkTest, ProgramSkipsBlankBlocksThenReadAndCompare) {
  StartBoard("TWOAREA", "16");
  Download();
  const std::vector<uint8_t> image = Image();
  link.Settings().hexFilePath = HexFile("p.mhx", image, kBase);
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.Saw("info The Programming ended normally")) << ::testing::PrintToString(ui.log);
  EXPECT_EQ(ui.titles.back(), "10 / 10");
  std::vector<std::string> written;
  for (const auto& line : board.Events("write")) written.push_back(kvsim_harness::EventField(line, "address"));
  EXPECT_EQ(written, (std::vector<std::string>{"0x004200", "0x005000", "0x005A00"}));
  ExpectFlashEquals(image);

  ui.log.clear();
  link.RunReadAndCompare();
  EXPECT_TRUE(ui.Saw("info The flash and the hex file are identical")) << ::testing::PrintToString(ui.log);
  EXPECT_EQ(board.Events("read").size(), 10u);

  // The file differs from the flash in the last word of the last block.
  std::vector<uint8_t> other = image;
  other[kTwoAreaSize - 1] = 0x79;
  link.Settings().hexFilePath = HexFile("q.mhx", other, kBase);
  ui.log.clear();
  link.RunReadAndCompare();
  EXPECT_TRUE(ui.Saw("info There is a point of difference in the flash and the hex file\r\n"
                     " ErrorAddress = 0x00005BFE\r\n Flash    : 0x5678\r\n HexFile : 0x5679"))
      << ::testing::PrintToString(ui.log);
}

TEST_F(KvsimLinkTest, CopyInBothFormatsReadsBackThroughSrecCat) {
  const std::vector<uint8_t> image = Image();
  StartBoard("TWOAREA", "16", {}, std::string(image.begin(), image.end()));
  Download();
  for (int format : {0, 1}) {
    const std::string out = dir.File(format == 0 ? "copy.mhx" : "copy.hex");
    link.Settings().copyFormat = format;
    ui.savePath = out;
    ui.log.clear();
    link.RunCopy();
    ASSERT_TRUE(ui.Saw("info The Copy ending")) << ::testing::PrintToString(ui.log);
    const std::string bin = out + ".bin";
    const std::string command = std::string("srec_cat ") + out + (format == 0 ? "" : " -intel") +
                                " -fill 0xFF 0x4000 0x5C00 -offset -0x4000 -o " + bin + " -binary 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string back = ReadFile(bin);
    EXPECT_EQ(back, std::string(image.begin(), image.end())) << out;
  }
}

TEST_F(KvsimLinkTest, CrcRetryAnsweredYesAndNo) {
  StartBoard("TWOAREA", "16", {"crc-write=2", "crc-write=5"});
  Download();
  const std::vector<uint8_t> image = Image();
  link.Settings().hexFilePath = HexFile("p.mhx", image, kBase);
  ui.crcAnswers = {true};
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.Saw("crc? crc checking|CRC error detected in 0x5000\nretry?")) << ::testing::PrintToString(ui.log);
  EXPECT_TRUE(ui.Saw("info The Programming ended normally")) << ::testing::PrintToString(ui.log);
  ExpectFlashEquals(image);

  ui.log.clear();
  ui.crcAnswers = {false};
  link.RunProgramAndVerify();  // the 5th frame (the first of this run) fails its CRC
  EXPECT_TRUE(ui.Saw("crc? crc checking|CRC error detected in 0x4200\nretry?"));
  EXPECT_TRUE(ui.Saw("info It was canceled"));
  EXPECT_TRUE(ui.Saw("caption OK"));
}

TEST_F(KvsimLinkTest, CancelInTheMiddle) {
  StartBoard("TWOAREA", "16");
  Download();
  const std::vector<uint8_t> image = Image();
  link.Settings().hexFilePath = HexFile("p.mhx", image, kBase);
  ui.cancelAtPos = 4;
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.Saw("info It was canceled"));
  EXPECT_EQ(ui.positions.back(), 4);
  EXPECT_EQ(board.Events("write").size(), 1u);  // area 2 untouched
  // The link stays usable: the next command works.
  ui.log.clear();
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.Saw("info The Programming ended normally"));
  ExpectFlashEquals(image);
}

TEST_F(KvsimLinkTest, FullOperationOnBlankAndNonBlankChips) {
  for (bool blank : {true, false}) {
    std::string flash(kTwoAreaSize, '\xFF');
    if (!blank) flash[0x10] = '\x42';
    StartBoard("TWOAREA", "8", {}, flash);
    const std::vector<uint8_t> image = Image();
    link.Settings().hexFilePath = HexFile("p.mhx", image, kBase);
    ui.log.clear();
    link.RunFullOperation();
    EXPECT_EQ(ui.InfoTexts().back(), "It ended normally completely") << ::testing::PrintToString(ui.log);
    EXPECT_EQ(board.Events("erase").size(), blank ? 0u : 1u);
    EXPECT_EQ(ui.Count("info Full Operation -  Blank Checking"), blank ? 1 : 2);
    ExpectFlashEquals(image);
    EXPECT_TRUE(link.Downloaded());
    EXPECT_FALSE(ui.progressOpen);
    board.Stop();
  }
}

TEST_F(KvsimLinkTest, NulBytesBeforeAStatusAreWaitedThrough) {
  const std::vector<uint8_t> image = Image();
  StartBoard("TWOAREA", "16", {"nul=read:3:4", "nul=write:1:3", "nul=blank:1:2"});
  Download();
  link.RunBlankCheck();
  EXPECT_TRUE(ui.Saw("info A flash is Erased ")) << ::testing::PrintToString(ui.log);
  link.Settings().hexFilePath = HexFile("p.mhx", image, kBase);
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.Saw("info The Programming ended normally")) << ::testing::PrintToString(ui.log);
  link.RunReadAndCompare();
  EXPECT_TRUE(ui.Saw("info The flash and the hex file are identical")) << ::testing::PrintToString(ui.log);
  EXPECT_EQ(board.Events("read").size(), 10u);
  ExpectFlashEquals(image);
}

// The board vanishes at the erase command (the sixth frame, after the five of the download):
// the erase ends at once with the port's read error, and the next command finds no port.
TEST_F(KvsimLinkTest, UnpluggedBoardEndsTheCommandAndTheNextFindsNoPort) {
  StartBoard("TWOAREA", "16", {"unplug-after-frame=6"});
  Download();
  link.RunErase();
  EXPECT_TRUE(ui.Saw("info ERROR !!    \r\n No.016 COM port read error")) << ::testing::PrintToString(ui.log);
  EXPECT_FALSE(link.Downloaded());
  ASSERT_TRUE(board.WaitForEvents("unplug", 1));
  ui.log.clear();
  link.RunErase();
  // The detail says which device was tried and why: the unplugged board's link is gone.
  EXPECT_TRUE(ui.SawText("info ERROR !!    \r\n No.006 Unable to open COM port.\r\n device " + board.LinkPath() +
                         ": No such file or directory\r\n "))
      << ::testing::PrintToString(ui.log);
  EXPECT_FALSE(ui.SawText("No.016"));
}

TEST_F(KvsimLinkTest, FatalTimeoutSendsTheUserBackToDownload) {
  StartBoard("TWOAREA", "16", {"no-status=blank"});
  Download();
  link.RunBlankCheck();
  EXPECT_TRUE(ui.Saw("info ERROR !!    \r\n No.003 timeout error"));
  EXPECT_TRUE(ui.Saw("info Since the unrecoverable error occurred,\r\n please redo from download operation."));
  EXPECT_FALSE(link.Downloaded());
}

// An ELF executable programs like a hex file: its segments at their physical addresses.
TEST_F(KvsimLinkTest, ElfExecutableIsProgrammedAndVerified) {
  StartBoard("TWOAREA", "16");
  Download();
  const std::vector<uint8_t> image = Image();
  std::vector<elf_test::Segment> segments;
  for (size_t offset = 0; offset < image.size(); offset += 512) {
    const auto block = image.begin() + static_cast<std::ptrdiff_t>(offset);
    if (std::all_of(block, block + 512, [](uint8_t b) { return b == 0xFF; })) continue;
    segments.push_back({PT_LOAD, kBase + static_cast<uint32_t>(offset), std::vector<uint8_t>(block, block + 512), 0});
  }
  ASSERT_GE(segments.size(), 2u);
  link.Settings().hexFilePath = dir.File("fw.elf");
  WriteFile(link.Settings().hexFilePath, elf_test::ElfFile(segments));
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.Saw("info The Programming ended normally")) << ::testing::PrintToString(ui.log);
  ExpectFlashEquals(image);
}

// The last block of PARTIAL's second area holds two bytes of the area; the link sends the
// whole block with the rest as 0xFF, and the board programs only the bytes inside the area.
TEST_F(KvsimLinkTest, PartialLastBlockIsProgrammedAndCompared) {
  StartBoard("PARTIAL", "16");
  Download();
  const std::vector<uint8_t> image = Image(kPartialSize);
  link.Settings().hexFilePath = HexFile("p.mhx", image, kBase);
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.Saw("info The Programming ended normally")) << ::testing::PrintToString(ui.log);
  ExpectFlashEquals(image);
  std::vector<uint8_t> other = image;
  other[kPartialSize - 1] = 0x79;
  link.Settings().hexFilePath = HexFile("q.mhx", other, kBase);
  ui.log.clear();
  link.RunReadAndCompare();
  EXPECT_TRUE(ui.Saw("info There is a point of difference in the flash and the hex file\r\n"
                     " ErrorAddress = 0x00005A00\r\n Flash    : 0x5678\r\n HexFile : 0x5679"));
}

}  // namespace
}  // namespace flash::testing
