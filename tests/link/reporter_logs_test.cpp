// The reporter (banner, prefix, detail, icons, message 537, download state, sounds) and
// the timing log.
#include <gtest/gtest.h>

#include "tests/link/link_fixture.h"

namespace flash::testing {
namespace {

TEST_F(LinkTest, ReportInMessageBoxes) {
  link.SetErrorPrefix("PREFIX");
  link.ReportMessage(301, kNotice, kCompletionSound);
  link.ReportMessage(203, kFatal, kErrorSound);
  link.SetErrorDetail("DETAIL");
  link.ReportMessage(212, kError, kErrorSound);
  EXPECT_EQ(ui.Boxes(), (std::vector<std::string>{
                            "Flash Memory Writer|information|main|It Erased a flash",
                            "Flash Memory Writer|exclamation|main|ERROR !!    \r\n No.003 timeout error",
                            "Flash Memory Writer|exclamation|main|Since the unrecoverable error occurred,\r\n please "
                            "redo from download operation.",
                            "Flash Memory Writer|exclamation|main|ERROR !!    \r\n No.011 Communication error\r\nDETAIL",
                        }));
  EXPECT_EQ(ui.Count("state not downloaded"), 1);
  EXPECT_EQ(ui.Count("focus chip list"), 1);
}

TEST_F(LinkTest, ResetDownloadStateAloneLeavesTheFocusAlone) {
  // What a chip or crystal-frequency change does: only the buttons and the flag change.
  link.ResetDownloadState();
  EXPECT_EQ(ui.log, (std::vector<std::string>{"state not downloaded"}));
  EXPECT_FALSE(link.Downloaded());
}

TEST_F(LinkTest, FatalReportInTheProgressWindowNeedsTwoPresses) {
  ASSERT_TRUE(link.CreateProgress("Erase"));
  ASSERT_EQ(link.OpenComPort(1, 9600), 0);
  link.SetErrorPrefix("MCU : 05H");
  link.ReportMessage(218, kFatal3, kErrorSound);
  const std::vector<std::string> expected = {
      "title Erase",
      "form 13",
      "icon error",
      "info ERROR !!    MCU : 05H\r\n No.016 COM port read error",
      "wait Ok",
      "info Since the unrecoverable error occurred,\r\n please redo from download operation.",
      "wait Ok",
      "state not downloaded",
      "focus chip list",
  };
  std::vector<std::string> seen(ui.log.begin() + 1, ui.log.end());  // after "create progress"
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(link.PortOpen());
}

TEST_F(LinkTest, IconsBySeverityInTheProgressWindow) {
  ASSERT_TRUE(link.CreateProgress("x"));
  const std::pair<uint8_t, const char*> cases[] = {
      {kNotice, "icon information"}, {kError, "icon exclamation"}, {kFatal, "icon error"}, {kFatal3, "icon error"}};
  for (const auto& [severity, icon] : cases) {
    ui.log.clear();
    link.ReportMessage(212, severity, kNoSound);
    EXPECT_TRUE(ui.Saw(icon));
  }
}

TEST_F(LinkTest, NoticeNeverCarriesTheBannerButClearsThePrefix) {
  link.SetErrorPrefix("MCU : 05H");
  link.ReportMessage(302, kNotice, kNoSound);
  link.ReportMessage(201, kError, kNoSound);
  EXPECT_EQ(ui.Boxes(), (std::vector<std::string>{"Flash Memory Writer|information|main|A flash is Erased ",
                                                   "Flash Memory Writer|exclamation|main|ERROR !!    \r\n No.001 Download error"}));
}

TEST_F(LinkTest, JapaneseTableUsesTheSameNumbers) {
  SetLanguage(Language::kJapanese);
  link.ReportMessage(306, kNotice, kNoSound);
  SetLanguage(Language::kEnglish);
  EXPECT_EQ(ui.Boxes(), (std::vector<std::string>{"Flash Memory Writer|information|main|Full Operation OK!"}));
}

TEST_F(LinkTest, EventSounds) {
  struct Case {
    SoundSettings settings;
    int category;
    const char* expected;  // nullptr: silence
  };
  const Case cases[] = {
      {{0, 1, 1, "e.wav", 1, 1, "d.wav"}, kErrorSound, nullptr},  // master switch off
      {{1, 1, 1, "e.wav", 1, 0, "d.wav"}, kErrorSound, "beep"},
      {{1, 1, 0, "e.wav", 1, 0, "d.wav"}, kErrorSound, "wave e.wav"},
      {{1, 1, 0, "e.wav", 1, 0, "d.wav"}, kCompletionSound, "wave d.wav"},
      {{1, 1, 0, "e.wav", 0, 0, "d.wav"}, kCompletionSound, nullptr},  // event off
      {{1, 1, 0, "e.wav", 1, 0, "d.wav"}, 3, nullptr},                 // no such category
  };
  for (const Case& c : cases) {
    ui.log.clear();
    link.Settings().sound = c.settings;
    link.PlayEventSound(c.category);
    if (c.expected) {
      EXPECT_EQ(ui.log, std::vector<std::string>{c.expected});
    } else {
      EXPECT_TRUE(ui.log.empty());
    }
  }
}

TEST_F(LinkTest, TimingLogOnlyWhenItsFileExists) {
  clock.SetCalendar({2026, 12, 8, 2, 10, 0, 0, 500});
  link.MarkCommandStart();
  clock.Advance(1005);
  link.WriteTimingEntry(kTimingRead);
  EXPECT_FALSE(platform::FileExists(dir.File("TIMETEST.TXT")));

  WriteFile(dir.File("TIMETEST.TXT"), "");
  link.WriteTimingEntry(kTimingRead);
  EXPECT_EQ(ReadFile(dir.File("TIMETEST.TXT")).find("[20261208 - TESTCHIP]"), 0u);
  EXPECT_EQ(platform::GetProfileString(dir.File("TIMETEST.TXT"), "20261208 - TESTCHIP", "READ", ""), "1.005");
  // A later entry of the same key replaces the value; the borrow of the milliseconds.
  clock.SetCalendar({2026, 12, 8, 2, 10, 0, 59, 900});
  link.MarkCommandStart();
  clock.Advance(2200);
  link.WriteTimingEntry(kTimingRead);
  EXPECT_EQ(platform::GetProfileString(dir.File("TIMETEST.TXT"), "20261208 - TESTCHIP", "READ", ""), "2.200");
}

TEST_F(LinkTest, SuccessfulCommandsWriteTheirTimingKeys) {
  WriteFile(dir.File("TIMETEST.TXT"), "");
  link.RunDownload();
  link.RunErase();
  link.RunBlankCheck();
  const std::string text = ReadFile(dir.File("TIMETEST.TXT"));
  for (const char* key : {"DOWNLOAD=", "ERACE=", "BLANK="}) EXPECT_NE(text.find(key), std::string::npos) << key;
}

}  // namespace
}  // namespace flash::testing
