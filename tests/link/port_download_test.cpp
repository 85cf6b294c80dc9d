// Port operations and the boot-ROM download against the fake port and board.
#include <gtest/gtest.h>

#include "platform/port_names.h"
#include "tests/link/link_fixture.h"

namespace flash::testing {
namespace {

using Kind = platform::FakeSerialPort::Event::Kind;

TEST_F(LinkTest, OpenComPortSetsTimeoutsAndBaud) {
  ASSERT_EQ(link.OpenComPort(20, 38400), 0);
  EXPECT_EQ(port.OpenedPath(), platform::ComPortDevice(20));
  const platform::SerialTimeouts t = port.Timeouts();
  EXPECT_EQ(t.readIntervalMs, 100u);
  EXPECT_EQ(t.readTotalPerByteMs, 100u);
  EXPECT_EQ(t.readTotalConstantMs, 100u);
  EXPECT_EQ(t.writeTotalPerByteMs, 100u);
  EXPECT_EQ(t.writeTotalConstantMs, 100u);
  EXPECT_EQ(port.BaudRate(), 38400u);
  EXPECT_EQ(link.LineBaud(), 38400u);
  // Opening again closes the old handle first.
  ASSERT_EQ(link.OpenComPort(1, 9600), 0);
  EXPECT_EQ(Count(Kind::Close), 1);
  link.CloseComPort();
  link.CloseComPort();
  EXPECT_EQ(Count(Kind::Close), 2);
}

TEST_F(LinkTest, OpenComPortFailures) {
  struct Case {
    void (platform::FakeSerialPort::*inject)(bool);
    int expected;
  };
  const Case cases[] = {{&platform::FakeSerialPort::SetOpenFails, 206},
                        {&platform::FakeSerialPort::SetTimeoutsFail, 211},
                        {&platform::FakeSerialPort::SetBaudFails, 211}};
  for (const Case& c : cases) {
    (port.*c.inject)(true);
    EXPECT_EQ(link.OpenComPort(1, 9600), c.expected);
    (port.*c.inject)(false);
    link.CloseComPort();
  }
  EXPECT_EQ(link.ChangeBaudRate(19200), 210);  // no open port
}

TEST_F(LinkTest, ReadByteWithinGivesUpAfterItsLimit) {
  ASSERT_EQ(link.OpenComPort(1, 9600), 0);
  const uint64_t start = clock.TickMs();
  EXPECT_EQ(link.ReadByteWithin(3), 0xFF);
  const uint64_t waited = clock.TickMs() - start;
  EXPECT_GT(waited, 3000u);
  EXPECT_LE(waited, 3200u);
  // A NUL byte cannot be told from silence: the wait goes on to the real byte.
  port.QueueInput({0x00, 0x00, 0x42});
  EXPECT_EQ(link.ReadByteWithin(1), 0x42);
}

TEST_F(LinkTest, DownloadSendsTheExactBytesAndSwitchesBaud) {
  link.Settings().clockIndex = 1;
  ASSERT_TRUE(link.CreateProgress("Download"));
  EXPECT_FALSE(link.DownloadControlProgram(false));

  // Boot ROM at the second "Baud" entry, control program at twice that rate.
  EXPECT_EQ(Bauds(), (std::vector<uint32_t>{19200, 38400}));
  EXPECT_EQ(link.CommandBaud(), 38400u);
  std::vector<uint8_t> expected = {0x18, 0x00, 0x40, 0x00, 0x01, 0x2C};
  std::vector<uint8_t> image = controlProgram;
  image[2] = 1;  // the clock index
  uint8_t sum = static_cast<uint8_t>(0x40 + 0x00 + 0x01 + 0x2C);
  for (uint8_t b : image) sum = static_cast<uint8_t>(sum + b);
  expected.insert(expected.end(), image.begin(), image.end());
  expected.push_back(sum);
  for (int b : {0x18, 0x40, 0x00, 0x00, 0x00, 0x00, 0xE8}) expected.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(port.Written(), expected);
  // Every byte with its own write.
  EXPECT_EQ(Writes().size(), expected.size());
  EXPECT_TRUE(target.checksumOk);
  EXPECT_EQ(target.program, image);
  EXPECT_EQ(target.loadAddress, 0x4000);

  EXPECT_EQ(ui.InfoTexts().front(), " Downloading");
  EXPECT_TRUE(ui.Saw("form 8"));
  EXPECT_TRUE(ui.Saw("bar 0 8 1 0"));
  EXPECT_EQ(ui.Count("step"), 8);
  EXPECT_TRUE(ui.Saw("info It transferred a control program to the microcomputer"));
  EXPECT_TRUE(ui.Saw("state downloaded"));
  EXPECT_TRUE(link.Downloaded());
  EXPECT_EQ(ui.positions.back(), 0);
  EXPECT_TRUE(link.PortOpen());  // the handler closes it
}

TEST_F(LinkTest, DownloadUsesBaud2WhenPresent) {
  ChipSection c = chip;
  c.bauds2 = "57600,115200";
  UseChip(c);
  link.Settings().clockIndex = 0;
  link.RunDownload();
  EXPECT_EQ(Bauds(), (std::vector<uint32_t>{9600, 57600}));
  EXPECT_FALSE(link.PortOpen());
  EXPECT_FALSE(ui.progressOpen);
  EXPECT_TRUE(link.Downloaded());
}

TEST_F(LinkTest, WrongBootRomReplyShowsTheByte) {
  target.syncReply = 0x05;
  link.RunDownload();
  EXPECT_TRUE(ui.Saw("info ERROR !!    MCU : 05H\r\n No.001 Download error"));
  EXPECT_TRUE(ui.Saw("icon exclamation"));
  EXPECT_FALSE(ui.SawText("Since the unrecoverable"));  // an error, not fatal
  EXPECT_FALSE(link.Downloaded());
  EXPECT_TRUE(ui.Saw("state not downloaded"));
  EXPECT_FALSE(link.PortOpen());
}

TEST_F(LinkTest, DownloadOptionSkipsTheFirstThreeChecks) {
  ChipSection c = chip;
  c.downloadOption = "1";
  UseChip(c);
  target.silent = true;
  const uint64_t start = clock.TickMs();
  link.RunDownload();
  // 1 s, 3 s and 3 s are waited out, then exchange 4 times out after 5 s.
  EXPECT_GT(clock.TickMs() - start, 12000u);
  EXPECT_EQ(ui.InfoTexts().size(), 2u);
  EXPECT_EQ(ui.InfoTexts().back(), "ERROR !!    \r\n No.003 timeout error");
  EXPECT_FALSE(link.Downloaded());
}

TEST_F(LinkTest, CancelledResetPromptEndsSilently) {
  ui.onReset = [] { return false; };
  link.RunDownload();
  EXPECT_TRUE(ui.Saw("reset? flash|Please reset the microcontroller on userboard.\nThen push OK button."));
  EXPECT_TRUE(ui.Boxes().empty());
  EXPECT_EQ(ui.InfoTexts().size(), 1u);  // the status text only
  EXPECT_TRUE(ui.Saw("state not downloaded"));
  EXPECT_TRUE(ui.Saw("focus chip list"));  // a failed download sends the user to the chip list
  EXPECT_EQ(port.Written().size(), 0u);
  EXPECT_EQ(Count(Kind::Purge), 1);
}

TEST_F(LinkTest, UnusableControlProgramsAreRefusedBeforeSending) {
  struct Case {
    size_t size;  // 0: no file
    const char* message;
  };
  const Case cases[] = {{0, " No.007 Unable to open Download file."},
                        {2, " No.020 The control program file has an unusable size."},
                        {65536, " No.020 The control program file has an unusable size."}};
  for (const Case& c : cases) {
    ui.log.clear();
    port.ClearEvents();
    std::remove(dir.File("ctrl.bin").c_str());
    if (c.size != 0) WriteFile(dir.File("ctrl.bin"), std::string(c.size, 'x'));
    link.RunDownload();
    EXPECT_TRUE(ui.SawText(c.message)) << c.size;
    EXPECT_TRUE(ui.SawText("Since the unrecoverable error occurred"));
    EXPECT_EQ(port.Written().size(), 0u);
    EXPECT_FALSE(link.Downloaded());
  }
}

TEST_F(LinkTest, ClockIndexWithoutBaudIsRefused) {
  link.Settings().clockIndex = 2;
  link.RunDownload();
  EXPECT_TRUE(ui.SawText(" No.021 No baud rate for the chosen crystal frequency.\r\n Clock index 2"));
  EXPECT_EQ(Count(Kind::Open), 0);
}

TEST_F(LinkTest, WriteFailureIsReportedOnceAndEndsTheDownload) {
  port.SetWriteFails(true);
  link.RunDownload();
  EXPECT_EQ(ui.Count("info ERROR !!    \r\n No.015 COM port write error"), 1);
  EXPECT_EQ(ui.InfoTexts().size(), 3u);  // status, 216, 537
  EXPECT_FALSE(link.Downloaded());
}

TEST_F(LinkTest, PortThatCannotBeOpenedIsFatal) {
  PretendDownloaded();
  port.SetOpenFails(true);
  link.RunErase();
  EXPECT_TRUE(ui.Saw("info ERROR !!    \r\n No.006 Unable to open COM port."));
  EXPECT_TRUE(ui.Saw("icon error"));
  EXPECT_TRUE(ui.Saw("info Since the unrecoverable error occurred,\r\n please redo from download operation."));
  EXPECT_TRUE(ui.Saw("state not downloaded"));
  EXPECT_FALSE(ui.progressOpen);
}

}  // namespace
}  // namespace flash::testing
