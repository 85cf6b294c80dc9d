// Program & Verify, Read & Compare, Copy and the command sequences (Full Operation
// included) against the fake port and board.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/link/link_fixture.h"

namespace flash::testing {
namespace {

using Kind = platform::FakeSerialPort::Event::Kind;

// Two areas: 0x000000-0x0007FF (4 blocks) and 0x001000-0x001800 (0x801 bytes: 5 blocks,
// the last with a single byte of the area).
class AreaTest : public LinkTest {
 protected:
  void SetUp() override {
    ChipSection c = chip;
    c.starts = "0x000000,0x001000";
    c.ends = "0x0007FF,0x001800";
    UseChip(c);
    PretendDownloaded();
    image.assign(0x1801, 0xFF);
    for (size_t i = 0x200; i < 0x400; ++i) image[i] = static_cast<uint8_t>(i);      // block 2 of area 1
    for (size_t i = 0x1000; i < 0x1010; ++i) image[i] = static_cast<uint8_t>(i);    // block 1 of area 2
    image[0x1800] = 0x5A;                                                           // last byte of area 2
    UseHexImage(image);
  }
  // The simulated flash equals the image over every area.
  void ExpectFlashEqualsImage() {
    for (uint32_t a : {0x000u, 0x1000u}) {
      const uint32_t end = a == 0 ? 0x7FF : 0x1800;
      for (uint32_t x = a; x <= end; ++x) ASSERT_EQ(target.flash[x], image[x]) << std::hex << x;
    }
  }
  std::vector<uint8_t> image;
};

TEST_F(AreaTest, ProgramSkipsBlankBlocksAndPadsThePartialLastBlock) {
  link.RunProgramAndVerify();
  // Blocks with data: 0x200, 0x1000 and the one-byte block 0x1800.
  EXPECT_EQ(target.writtenBlocks, (std::vector<uint32_t>{0x200, 0x1000, 0x1800}));
  ExpectFlashEqualsImage();
  EXPECT_EQ(target.flash[0x1801], 0xFF);
  EXPECT_TRUE(ui.Saw("title Program"));
  EXPECT_TRUE(ui.Saw("bar 0 9 1 0"));
  EXPECT_EQ(ui.titles.front(), "Program");
  EXPECT_EQ(ui.titles.back(), "9 / 9");
  EXPECT_EQ(ui.positions.front(), 0);
  EXPECT_EQ(ui.positions.back(), 9);
  EXPECT_TRUE(ui.Saw("info  Decoding HexFile"));
  EXPECT_TRUE(ui.Saw("info Programming"));
  EXPECT_TRUE(ui.Saw("info The Programming ended normally"));
  EXPECT_FALSE(ui.progressOpen);
  EXPECT_FALSE(link.PortOpen());
}

TEST_F(AreaTest, CancelDuringTheFirstAreaLeavesTheSecondUntouched) {
  ui.cancelAtPos = 3;
  link.RunProgramAndVerify();
  EXPECT_EQ(target.writtenBlocks, (std::vector<uint32_t>{0x200}));
  EXPECT_TRUE(ui.Saw("info It was canceled"));
  EXPECT_TRUE(ui.Saw("caption OK"));
  EXPECT_TRUE(ui.Saw("wait OK"));
  EXPECT_EQ(ui.positions.back(), 3);
  EXPECT_FALSE(ui.SawText("The Programming ended normally"));
  EXPECT_GE(Count(Kind::Purge), 2);  // the open's purge and the cancel's
}

TEST_F(AreaTest, CancelWhileABlockCommandWaits) {
  target.replyDelayMs = 1000;
  ui.cancelAtPoll = 4;  // inside the wait for the first block's status
  link.RunProgramAndVerify();
  EXPECT_TRUE(target.writtenBlocks.empty());
  EXPECT_TRUE(ui.Saw("info It was canceled"));
  EXPECT_TRUE(ui.Saw("caption OK"));
}

TEST_F(AreaTest, CrcRetryRefusedEndsAsCancelled) {
  target.frameReplies = {'5'};
  link.RunProgramAndVerify();
  EXPECT_TRUE(ui.SawText("crc? crc checking|CRC error detected in 0x200"));
  EXPECT_TRUE(ui.Saw("info It was canceled"));
  EXPECT_TRUE(target.writtenBlocks.empty());
}

TEST_F(AreaTest, ReadAndCompareIdentical) {
  link.RunProgramAndVerify();
  ui.log.clear();
  link.RunReadAndCompare();
  EXPECT_EQ(target.framesRead, 9);  // every block, blank or not
  EXPECT_TRUE(ui.Saw("info Reading & Comparing"));
  EXPECT_TRUE(ui.Saw("info The flash and the hex file are identical"));
}

TEST_F(AreaTest, DifferenceInTheLastWordOfAPartialBlock) {
  // Area 2 ends at 0x1800: the last word compared is 0x1800; its second byte lies beyond
  // the area and is never compared.
  link.RunProgramAndVerify();
  target.flash[0x1801] = 0x00;  // beyond the area: no difference
  ui.log.clear();
  link.RunReadAndCompare();
  EXPECT_TRUE(ui.Saw("info The flash and the hex file are identical"));
  target.flash[0x1800] = 0x5B;
  ui.log.clear();
  link.RunReadAndCompare();
  EXPECT_TRUE(ui.Saw("info There is a point of difference in the flash and the hex file\r\n"
                     " ErrorAddress = 0x00001800\r\n Flash    : 0x5B00\r\n HexFile : 0x5AFF"));
  EXPECT_TRUE(ui.Saw("icon information"));
}

TEST_F(AreaTest, ReadAndCompareFailures) {
  struct Case {
    uint8_t reply;
    bool silent;
    const char* text;
  };
  const Case cases[] = {{'1', true, "info ERROR !!    \r\n No.003 timeout error"},
                        {'2', false, "info ERROR !!    \r\n No.012 Read error"}};
  for (const Case& c : cases) {
    ui.log.clear();
    target.blockCommandReply = c.reply;
    target.blockCommandSilent = c.silent;
    link.RunReadAndCompare();
    EXPECT_TRUE(ui.Saw(c.text)) << c.text;
    EXPECT_FALSE(ui.SawText("It was canceled"));
  }
}

TEST_F(AreaTest, MissingHexFileOpensNothing) {
  link.Settings().hexFilePath = dir.File("none.mhx");
  port.ClearEvents();
  link.RunProgramAndVerify();
  EXPECT_EQ(ui.Boxes(), (std::vector<std::string>{"Flash Memory Writer|exclamation|main|ERROR !!    \r\n No.101 Please set \"hex file\""}));
  EXPECT_EQ(ui.createdProgressWindows, 0);
  EXPECT_EQ(Count(Kind::Open), 0);
}

TEST_F(AreaTest, AreasThatDoNotFitTheImageAreRefused) {
  ChipSection c = chip;
  c.starts = "0x000000,0x0A0000";
  c.ends = "0x0007FF,0x0A07FF";
  UseChip(c);
  link.RunFullOperation();
  EXPECT_TRUE(ui.SawText(" No.019 The flash areas of this microcontroller do not fit the flash image."));
  EXPECT_EQ(Count(Kind::Open), 0);
  EXPECT_EQ(ui.createdProgressWindows, 0);
}

TEST_F(AreaTest, CopyWritesBothFormats) {
  link.RunProgramAndVerify();
  struct Case {
    int format;
    const char* name;
    const char* first;
    const char* last;
  };
  const Case cases[] = {{0, "out.mhx", "S00700004B565432D1", "S804000000FB"},
                        {1, "out.hex", ":020000040000FA", ":00000001FF"}};
  for (const Case& c : cases) {
    ui.log.clear();
    link.Settings().copyFormat = c.format;
    ui.savePath = dir.File(c.name);
    link.RunCopy();
    EXPECT_TRUE(ui.Saw("info The Copy ending")) << c.name;
    const std::string text = ReadFile(dir.File(c.name));
    EXPECT_EQ(text.rfind(std::string(c.first) + "\r\n", 0), 0u) << text.substr(0, 40);
    EXPECT_NE(text.find(std::string(c.last) + "\r\n"), std::string::npos);
    EXPECT_EQ(target.framesRead % 9, 0);
  }
  EXPECT_TRUE(ui.SawText("save? Intel Hex files (*.hex)|*.hex|all files (*.*)|*.*|||hex|"));
}

TEST_F(AreaTest, CancelledCopyLeavesNoFileAndKeepsAnOldOne) {
  WriteFile(dir.File("old.mhx"), "old contents");
  ui.savePath = dir.File("old.mhx");
  ui.cancelAtPos = 2;
  link.RunCopy();
  EXPECT_TRUE(ui.Saw("info It was canceled"));
  EXPECT_EQ(ReadFile(dir.File("old.mhx")), "old contents");
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 4u);  // CHIPDEF.INI, ctrl.bin, image.mhx, old.mhx
}

TEST_F(AreaTest, CopyNeedsNoHexFileAndReportsAFileThatCannotBeCreated) {
  link.Settings().hexFilePath.clear();
  ui.savePath = dir.File("missing-dir/out.mhx");
  link.RunCopy();
  EXPECT_TRUE(ui.Saw("box Flash Memory Writer|exclamation|main|ERROR : OPEN FILE ERROR"));
  EXPECT_EQ(target.framesRead, 0);
  EXPECT_FALSE(ui.progressOpen);
  EXPECT_FALSE(link.PortOpen());
}

TEST_F(AreaTest, SaveAsCancelledReadsNothing) {
  ui.savePath.reset();
  link.RunCopy();
  EXPECT_EQ(target.framesRead, 0);
  EXPECT_EQ(ui.createdProgressWindows, 0);
}

class FullOperationTest : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    // A fresh board in boot mode.
    target.running = false;
  }
};

TEST_F(FullOperationTest, BlankChipIsProgrammedWithoutErasing) {
  FakeTarget board(port, 0, 0x2000);
  link.RunFullOperation();
  EXPECT_EQ(board.erases, 0);
  EXPECT_EQ(board.writtenBlocks, (std::vector<uint32_t>{0x200, 0x1000, 0x1800}));
  EXPECT_TRUE(ui.Saw("form 13 centred"));
  EXPECT_TRUE(ui.Saw("title Full Operation"));
  EXPECT_TRUE(ui.Saw("info Full Operation -  Decoding HexFile"));
  EXPECT_TRUE(ui.Saw("info Full Operation -  Downloading"));
  EXPECT_TRUE(ui.Saw("info Full Operation -  Blank Checking"));
  EXPECT_TRUE(ui.Saw("info Full Operation - Programming"));
  EXPECT_EQ(ui.InfoTexts().back(), "It ended normally completely");
  EXPECT_EQ(ui.Count("wait Ok"), 1);  // only the final message
  EXPECT_TRUE(link.Downloaded());
  EXPECT_FALSE(link.PortOpen());
}

TEST_F(FullOperationTest, NonBlankChipIsErasedAndCheckedFirst) {
  FakeTarget board(port, 0, 0x2000);
  board.flash[0x10] = 0x00;
  link.RunFullOperation();
  EXPECT_EQ(board.erases, 1);
  EXPECT_TRUE(ui.Saw("info Full Operation -  Erasing"));
  EXPECT_EQ(ui.Count("info Full Operation -  Blank Checking"), 2);
  EXPECT_EQ(board.writtenBlocks.size(), 3u);
  EXPECT_EQ(ui.InfoTexts().back(), "It ended normally completely");
}

TEST_F(FullOperationTest, FailedBlankCheckAfterEraseProgramsNothing) {
  FakeTarget board(port, 0, 0x2000);
  board.flash[0x10] = 0x00;
  board.eraseReply = '1';
  link.RunFullOperation();
  EXPECT_EQ(board.erases, 1);
  // The board's erase empties its flash; make it stay dirty with a blank-check override.
  ui.log.clear();
  FakeTarget dirty(port, 0, 0x2000);
  dirty.flash[0x10] = 0x00;
  dirty.eraseReply = '1';
  dirty.blankCheckOverride = '4';
  dirty.blankDetail = {0, 0, 0, 0x10, 0x00, 0xFF};
  link.RunFullOperation();
  EXPECT_TRUE(ui.Saw("info ERROR !!    \r\nA flash isn't erased"));
  EXPECT_TRUE(dirty.writtenBlocks.empty());
}

}  // namespace
}  // namespace flash::testing

namespace flash::testing {
namespace {

// With CRCTEST.TXT present, about one frame in 128 goes out (or is taken in) with a wrong
// CRC high byte; each brings the retry question, and answering Yes still programs the
// whole image.
TEST_F(LinkTest, CrcTestAidBringsRetriesThatEndWell) {
  ChipSection c = chip;
  c.starts = "0x000000";
  c.ends = "0x007FFF";
  UseChip(c);
  PretendDownloaded();
  std::vector<uint8_t> image(0x8000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i % 251);
  UseHexImage(image);
  WriteFile(dir.File("CRCTEST.TXT"), "");
  link.SeedCrcTest(3);
  ui.crcAnswers.assign(64, true);
  link.RunProgramAndVerify();
  link.RunReadAndCompare();
  const int prompts = static_cast<int>(std::count_if(ui.log.begin(), ui.log.end(), [](const std::string& e) {
    return e.rfind("crc? ", 0) == 0;
  }));
  EXPECT_GT(prompts, 0);
  EXPECT_EQ(target.framesWritten + target.framesRead, 128 + prompts);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), target.flash.begin()));
  EXPECT_TRUE(ui.Saw("info The flash and the hex file are identical"));
}

}  // namespace
}  // namespace flash::testing
