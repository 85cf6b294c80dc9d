// Erase, blank check, pre-check and the block transfers against the fake port and board,
// time-outs in fake time.
#include <gtest/gtest.h>

#include "flash/link/crc16.h"
#include "tests/link/link_fixture.h"

namespace flash::testing {
namespace {

using Kind = platform::FakeSerialPort::Event::Kind;

class FlashCommandTest : public LinkTest {
 protected:
  void SetUp() override {
    PretendDownloaded();
    ASSERT_TRUE(link.CreateProgress("Test"));
    ASSERT_EQ(link.OpenComPort(1, 38400), 0);
    ui.log.clear();
    ui.positions.clear();
  }
};

TEST_F(FlashCommandTest, EraseSendsItsCommandAndStepsTheBarForFourSeconds) {
  ChipSection c = chip;
  c.starts = "0x123456";
  c.ends = "0x12FFFF";
  UseChip(c);
  target.eraseMs = 45000;
  EXPECT_FALSE(link.EraseFlash(false));
  EXPECT_EQ(port.Written(), (std::vector<uint8_t>{0x38, 0x00, 0x34, 0x12}));
  EXPECT_EQ(ui.positions, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(ui.Saw("info  Erasing"));
  EXPECT_TRUE(ui.Saw("info It Erased a flash"));
  EXPECT_TRUE(ui.Saw("icon information"));
}

TEST_F(FlashCommandTest, EraseWithoutAnswerTimesOutAfterSixtySeconds) {
  target.eraseSilent = true;
  const uint64_t start = clock.TickMs();
  EXPECT_TRUE(link.EraseFlash(false));
  const uint64_t waited = clock.TickMs() - start;
  EXPECT_GT(waited, 60000u);
  EXPECT_LT(waited, 62000u);
  EXPECT_TRUE(ui.Saw("info ERROR !!    \r\n No.003 timeout error"));
  EXPECT_TRUE(ui.Saw("info Since the unrecoverable error occurred,\r\n please redo from download operation."));
  EXPECT_EQ(ui.Count("wait Ok"), 2);
  EXPECT_FALSE(link.PortOpen());
  EXPECT_FALSE(link.Downloaded());
}

TEST_F(FlashCommandTest, EraseStatusOutcomes) {
  struct Case {
    uint8_t reply;
    const char* text;
  };
  const Case cases[] = {{'4', "info  No.018 Erase error"}, {'7', "info  No.011 Communication error"}};
  for (const Case& c : cases) {
    ui.log.clear();
    target.eraseReply = c.reply;
    EXPECT_TRUE(link.EraseFlash(false));
    EXPECT_TRUE(ui.Saw(c.text)) << c.reply;  // a notice: no banner
    EXPECT_TRUE(link.PortOpen());
  }
}

TEST_F(FlashCommandTest, BusyStatusIsWaitedForButNeverLongerThanTheLimit) {
  port.QueueInput(std::vector<uint8_t>(200, '0'), 0);
  target.silent = true;
  const uint64_t start = clock.TickMs();
  EXPECT_TRUE(link.BlankCheckFlash(false));
  const uint64_t waited = clock.TickMs() - start;
  EXPECT_GE(waited, 5000u);
  EXPECT_LE(waited, 6200u);
  EXPECT_TRUE(ui.Saw("info ERROR !!    \r\n No.003 timeout error"));
}

TEST_F(FlashCommandTest, BlankCheckAloneShowsTheAddressDetail) {
  target.blankCheckOverride = '4';
  target.blankDetail = {0x00, 0xFE, 0x00, 0x10, 0x12, 0x34};
  EXPECT_TRUE(link.BlankCheckFlash(false));
  EXPECT_EQ(port.Written(), (std::vector<uint8_t>{0x48, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(ui.Saw("info A flash isn't erased\r\n ErrorAddress = 0x00FE0010\r\n Flash : 0x1234"));
  EXPECT_TRUE(ui.Saw("icon information"));
}

TEST_F(FlashCommandTest, BlankCheckOutcomes) {
  struct Case {
    uint8_t status;
    bool full;
    bool failed;
    const char* text;  // nullptr: no report
  };
  const Case cases[] = {
      {0, false, false, "info A flash is Erased "},
      {0, true, false, nullptr},
      {'4', true, true, "info ERROR !!    \r\nA flash isn't erased"},
      {'9', false, true, "info ERROR !!    \r\n No.011 Communication error"},
  };
  for (const Case& c : cases) {
    ui.log.clear();
    if (!link.PortOpen()) {
      ASSERT_EQ(link.OpenComPort(1, 38400), 0);
    }
    target.blankCheckOverride = c.status;
    EXPECT_EQ(link.BlankCheckFlash(c.full), c.failed);
    EXPECT_EQ(ui.InfoTexts().front(), c.full ? "Full Operation -  Blank Checking" : " Blank Checking");
    if (c.text) {
      EXPECT_TRUE(ui.Saw(c.text)) << ::testing::PrintToString(ui.log);
    } else {
      EXPECT_EQ(ui.InfoTexts().size(), 1u);
    }
  }
}

TEST_F(FlashCommandTest, PrecheckResults) {
  EXPECT_EQ(link.PrecheckBlank(), kPrecheckBlank);
  target.flash[100] = 0x00;
  EXPECT_EQ(link.PrecheckBlank(), kPrecheckNotBlank);
  EXPECT_EQ(port.PendingInput(), 0u);  // the detail bytes were read and dropped
  EXPECT_EQ(ui.InfoTexts().size(), 2u);
  target.blankCheckOverride = 'x';
  EXPECT_EQ(link.PrecheckBlank(), kPrecheckStop);
  EXPECT_TRUE(ui.Saw("info ERROR !!    \r\n No.011 Communication error"));
}

TEST_F(FlashCommandTest, WriteBlockFrameAndCrcRetry) {
  std::vector<uint8_t> data(512);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  target.frameReplies = {'5'};
  ui.crcAnswers = {true};
  EXPECT_EQ(link.WriteFlashBlock(0x000200, data.data()), WriteBlockResult::kDone);
  EXPECT_TRUE(ui.Saw("crc? crc checking|CRC error detected in 0x200\nretry?"));
  const auto writes = Writes();
  // Command bytes one by one, the frame in one piece; the retry starts from the command.
  ASSERT_EQ(writes.size(), 10u);
  const uint16_t crc = Crc16(data.data(), 512);
  std::vector<uint8_t> frame = data;
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc));
  for (size_t first : {size_t{0}, size_t{5}}) {
    EXPECT_EQ(writes[first], std::vector<uint8_t>{0x08});
    EXPECT_EQ(writes[first + 1], std::vector<uint8_t>{0x00});
    EXPECT_EQ(writes[first + 2], std::vector<uint8_t>{0x02});
    EXPECT_EQ(writes[first + 3], std::vector<uint8_t>{0x00});
    EXPECT_EQ(writes[first + 4], frame);
  }
  EXPECT_EQ(std::vector<uint8_t>(target.flash.begin() + 0x200, target.flash.begin() + 0x400), data);

  target.frameReplies = {'5'};
  EXPECT_EQ(link.WriteFlashBlock(0x000400, data.data()), WriteBlockResult::kCancelled);  // answered No
}

TEST_F(FlashCommandTest, WriteBlockFailures) {
  std::vector<uint8_t> data(512, 0x11);
  struct Case {
    uint8_t commandReply;
    bool commandSilent;
    uint8_t frameReply;
    const char* text;
  };
  const Case cases[] = {{'1', true, 0, "info ERROR !!    \r\n No.003 timeout error"},
                        {'2', false, 0, "info ERROR !!    \r\n No.013 Program error"},
                        {'1', false, '7', "info ERROR !!    \r\n No.013 Program error"}};
  for (const Case& c : cases) {
    ui.log.clear();
    ASSERT_EQ(link.OpenComPort(1, 38400), 0);
    target.blockCommandReply = c.commandReply;
    target.blockCommandSilent = c.commandSilent;
    if (c.frameReply != 0) target.frameReplies = {c.frameReply};
    EXPECT_EQ(link.WriteFlashBlock(0, data.data()), WriteBlockResult::kFailed);
    EXPECT_TRUE(ui.Saw(c.text)) << c.text;
    EXPECT_FALSE(link.PortOpen());
  }
}

TEST_F(FlashCommandTest, ReadBlockRefetchesAfterLineErrorAndAsksAfterCrcError) {
  for (size_t i = 0; i < 512; ++i) target.flash[0x400 + i] = static_cast<uint8_t>(i * 3);
  uint8_t frame[kFrameSize];
  target.lineErrorReads = 1;
  EXPECT_EQ(link.ReadFlashBlock(0x400, frame), ReadBlockResult::kDone);
  EXPECT_EQ(target.framesRead, 2);
  EXPECT_TRUE(ui.log.empty() || !ui.SawText("crc?"));
  EXPECT_EQ(std::vector<uint8_t>(frame, frame + 512), std::vector<uint8_t>(target.flash.begin() + 0x400, target.flash.begin() + 0x600));

  target.corruptReads = 1;
  ui.crcAnswers = {true};
  EXPECT_EQ(link.ReadFlashBlock(0x400, frame), ReadBlockResult::kDone);
  EXPECT_TRUE(ui.Saw("crc? crc checking|CRC error detected in 0x400\nretry?"));
  target.corruptReads = 1;
  EXPECT_EQ(link.ReadFlashBlock(0x400, frame), ReadBlockResult::kCancelled);
}

TEST_F(FlashCommandTest, ReadBlockOutcomesReportNothing) {
  uint8_t frame[kFrameSize];
  target.blockCommandReply = '3';
  EXPECT_EQ(link.ReadFlashBlock(0, frame), ReadBlockResult::kBadStatus);
  target.blockCommandSilent = true;
  EXPECT_EQ(link.ReadFlashBlock(0, frame), ReadBlockResult::kTimedOut);
  EXPECT_TRUE(ui.InfoTexts().empty());
}

TEST_F(FlashCommandTest, FatalReadFailureEndsTheWaitAtOnce) {
  // Once 218 has closed the port, the status wait stops instead of reporting again.
  port.SetReadFails(true);
  uint8_t frame[kFrameSize];
  EXPECT_EQ(link.ReadFlashBlock(0, frame), ReadBlockResult::kWriteFailed);
  EXPECT_EQ(ui.Count("info ERROR !!    \r\n No.016 COM port read error"), 1);
  EXPECT_EQ(ui.InfoTexts().size(), 2u);  // 218 and 537
  EXPECT_TRUE(link.LinkLost());
}

TEST_F(FlashCommandTest, CrcTestAidTakesEffectOnlyWithItsFile) {
  int hits = 0;
  for (int i = 0; i < 4096; ++i) hits += link.CrcTestOffset();
  EXPECT_EQ(hits, 0);
  WriteFile(dir.File("CRCTEST.TXT"), "");
  for (int i = 0; i < 4096; ++i) hits += link.CrcTestOffset();
  EXPECT_GT(hits, 8);   // about 32 expected
  EXPECT_LT(hits, 80);
  EXPECT_EQ(ReadFile(dir.File("CRCTEST.TXT")), "");
}

}  // namespace
}  // namespace flash::testing
