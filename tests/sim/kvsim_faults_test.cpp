// Every fault kvsim offers, triggered through a real pseudo-terminal and seen from the host.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/sim/sim_test_util.h"

namespace kvsim_test {
namespace {

using kvsim_harness::KvsimProcess;

struct FaultCase {
  const char* name;
  std::vector<std::string> faults;
  std::function<void(MiniHost&, KvsimProcess&)> check;
  std::vector<std::string> extraArgs = {};
};

const Bytes kBlock = Pattern(512, 42);

std::string Frame(uint32_t n) { return std::to_string(kFramesToStartControlProgram + n); }

// After an unplug: the host holding the port sees a hang-up (its read fails, and so does a
// write), not mere silence; the device and its link are gone; kvsim stays until stopped.
void ExpectUnplugged(MiniHost& host, KvsimProcess& board) {
  EXPECT_TRUE(host.Receive(1, 5000).empty());
  EXPECT_TRUE(host.ReceiveFailed());
  EXPECT_FALSE(host.Send({0xE8}));
  ASSERT_TRUE(board.WaitForEvents("unplug", 1));
  EXPECT_EQ(kvsim_harness::EventField(board.Events("unplug")[0], "device"), board.DevicePath());
  std::error_code ec;
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(board.LinkPath(), ec)));
  MiniHost again;
  EXPECT_FALSE(again.Open(board.DevicePath(), kOsCommandBaud));
  EXPECT_TRUE(board.Running());
  EXPECT_EQ(board.Stop(), 0);
}

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class KvsimFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(KvsimFaults, HostSeesTheFault) {
  KvsimProcess board;
  MiniHost host;
  kvsim_harness::KvsimOptions options = Os3f10(GetParam().faults);
  options.extraArgs = GetParam().extraArgs;
  ASSERT_TRUE(StartControlProgram(board, options, host));
  GetParam().check(host, board);
  EXPECT_FALSE(board.Events("fault").empty());
}

INSTANTIATE_TEST_SUITE_P(
    All, KvsimFaults,
    ::testing::Values(
        FaultCase{"CrcErrorReportedForTheSecondWriteFrame", {"crc-write=2"},
                  [](MiniHost& host, KvsimProcess& board) {
                    EXPECT_EQ(host.WriteBlock(kOsBase, kBlock), (Bytes{'0', '1'}));
                    EXPECT_EQ(host.WriteBlock(kOsBase + 512, kBlock), (Bytes{'5'}));
                    EXPECT_EQ(Slice(board.ReadFlashImage(), 512, 512), Bytes(512, 0xFF));
                    EXPECT_EQ(host.WriteBlock(kOsBase + 512, kBlock), (Bytes{'0', '1'}));  // the retry
                    EXPECT_EQ(Slice(board.ReadFlashImage(), 512, 512), kBlock);
                  }},
        FaultCase{"CorruptedCrcInAReadFrame", {"crc-read=1"},
                  [](MiniHost& host, KvsimProcess&) {
                    Bytes frame;
                    ASSERT_EQ(host.ReadBlock(kOsBase, frame), (Bytes{'0', '1'}));
                    ASSERT_EQ(frame.size(), 515u);
                    EXPECT_NE(XmodemCrc(frame.data(), 514), 0);
                    ASSERT_EQ(host.ReadBlock(kOsBase, frame), (Bytes{'0', '1'}));
                    EXPECT_EQ(XmodemCrc(frame.data(), 514), 0);
                  }},
        FaultCase{"WriteFailure", {"write-fail=1"},
                  [](MiniHost& host, KvsimProcess& board) {
                    EXPECT_EQ(host.WriteBlock(kOsBase, kBlock), (Bytes{'0', '4'}));
                    EXPECT_EQ(Slice(board.ReadFlashImage(), 0, 512), Bytes(512, 0xFF));
                  }},
        FaultCase{"EraseFailure", {"erase-fail=1"},
                  [](MiniHost& host, KvsimProcess&) {
                    EXPECT_EQ(host.Command(0x38, kOsBase), (Bytes{'0', '4'}));
                    EXPECT_EQ(host.Command(0x38, kOsBase), (Bytes{'0', '1'}));
                  }},
        FaultCase{"NotBlankWithGivenDetailBytes", {"not-blank=1:0011223344AA"},
                  [](MiniHost& host, KvsimProcess&) {
                    EXPECT_EQ(host.Command(0x48, kOsBase), (Bytes{'0', '4'}));
                    EXPECT_EQ(host.Receive(6), (Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0xAA}));
                    EXPECT_EQ(host.Command(0x48, kOsBase), (Bytes{'0', '1'}));
                  }},
        FaultCase{"StatusThatNeverComes", {"no-status=erase"},
                  [](MiniHost& host, KvsimProcess& board) {
                    EXPECT_EQ(host.Command(0x38, kOsBase, 300), (Bytes{'0'}));
                    host.Send({0xE8});
                    EXPECT_FALSE(host.ReceiveByte(300).has_value());  // the program hangs
                    EXPECT_EQ(board.Events("hang").size(), 1u);
                  }},
        FaultCase{"EndlessBusy", {"busy=blank"},
                  [](MiniHost& host, KvsimProcess&) {
                    host.Send({0x48, 0x00, 0x40, 0x00});
                    EXPECT_EQ(host.Receive(3, 2000), (Bytes{'0', '0', '0'}));
                  }},
        FaultCase{"ShortReadFrame", {"short-read=1:100"},
                  [](MiniHost& host, KvsimProcess&) {
                    Bytes frame;
                    ASSERT_EQ(host.ReadBlock(kOsBase, frame), (Bytes{'0', '1'}));
                    ASSERT_EQ(frame.size(), 101u);  // 100 bytes of the frame, then its status
                    EXPECT_EQ(frame.back(), '1');
                  }},
        FaultCase{"NulBytesBeforeAStatus", {"nul=connect:2:3"},
                  [](MiniHost& host, KvsimProcess&) {
                    host.Send({0xE8});
                    EXPECT_EQ(host.Receive(4), (Bytes{0, 0, 0, '1'}));
                  }},
        FaultCase{"NulBytesBeforeTheStatusAfterAReadFrame", {"nul=read:1:2"},
                  [](MiniHost& host, KvsimProcess&) {
                    host.Send({0x28, 0x00, 0x40, 0x00});
                    const Bytes all = host.Receive(2 + 514 + 2 + 1);
                    ASSERT_EQ(all.size(), 519u);
                    EXPECT_EQ(Bytes(all.end() - 3, all.end()), (Bytes{0, 0, '1'}));
                  }},
        FaultCase{"ResetInTheMiddleOfAWriteFrame", {"reset=write"},
                  [](MiniHost& host, KvsimProcess& board) {
                    EXPECT_EQ(host.WriteBlock(kOsBase, kBlock), Bytes{});
                    EXPECT_EQ(board.Events("reset").size(), 1u);
                    EXPECT_EQ(Slice(board.ReadFlashImage(), 0, 512), Bytes(512, 0xFF));
                    host.SetBaud(kOsBootBaud);  // the boot ROM answers again
                    host.Send({0x18});
                    EXPECT_EQ(host.ReceiveByte(), 0x11);
                  }},
        FaultCase{"ResetInTheMiddleOfAReadFrame", {"reset=read"},
                  [](MiniHost& host, KvsimProcess& board) {
                    Bytes frame;
                    ASSERT_EQ(host.ReadBlock(kOsBase, frame), (Bytes{'0', '1'}));
                    EXPECT_EQ(frame.size(), 256u);
                    EXPECT_EQ(board.Events("reset").size(), 1u);
                  }},
        FaultCase{"ResetInTheMiddleOfAnEraseLeavesItHalfDone", {"reset=erase"},
                  [](MiniHost& host, KvsimProcess& board) {
                    for (uint32_t a = kOsBase; a < 0x10000; a += 512) ASSERT_EQ(host.WriteBlock(a, Bytes(512, 0)), (Bytes{'0', '1'}));
                    EXPECT_EQ(host.Command(0x38, kOsBase, 300), (Bytes{'0'}));
                    ASSERT_TRUE(board.WaitForEvents("reset", 1));
                    const std::string image = board.ReadFlashImage();
                    EXPECT_EQ(Slice(image, 0, 0x6000), Bytes(0x6000, 0xFF));
                    EXPECT_EQ(Slice(image, 0x6000, 0x6000), Bytes(0x6000, 0x00));
                  }},
        FaultCase{"LineGarbageInAReadFrame", {"noise=1"},
                  [](MiniHost& host, KvsimProcess&) {
                    Bytes frame;
                    ASSERT_EQ(host.ReadBlock(kOsBase, frame), (Bytes{'0', '1'}));
                    ASSERT_EQ(frame.size(), 515u);
                    EXPECT_EQ(Bytes(frame.begin() + 128, frame.begin() + 136), Bytes(8, 0x00));
                    EXPECT_NE(XmodemCrc(frame.data(), 514), 0);
                  }},
        // The erase command is the third frame after the start: the board vanishes before
        // it answers, and erases nothing.
        FaultCase{"UnplugWhenACommandArrives", {"unplug-after-frame=" + Frame(3)},
                  [](MiniHost& host, KvsimProcess& board) {
                    ASSERT_EQ(host.WriteBlock(kOsBase, kBlock), (Bytes{'0', '1'}));
                    ASSERT_TRUE(host.Send({0x38, 0x00, 0x40, 0x00}));
                    ExpectUnplugged(host, board);
                    EXPECT_TRUE(board.Events("erase").empty());
                    EXPECT_EQ(Slice(board.ReadFlashImage(), 0, 512), kBlock);
                  }},
        FaultCase{"UnplugWhenAWriteFrameArrives", {"unplug-after-frame=" + Frame(2)},
                  [](MiniHost& host, KvsimProcess& board) {
                    ASSERT_EQ(host.Command(0x08, kOsBase), (Bytes{'0', '1'}));
                    Bytes frame = kBlock;
                    const uint16_t crc = XmodemCrc(kBlock.data(), kBlock.size());
                    frame.push_back(static_cast<uint8_t>(crc >> 8));
                    frame.push_back(static_cast<uint8_t>(crc));
                    ASSERT_TRUE(host.Send(frame));
                    ExpectUnplugged(host, board);
                    EXPECT_EQ(Slice(board.ReadFlashImage(), 0, 512), Bytes(512, 0xFF));
                  }},
        // 100 ms into an erase that takes 3 s: the busy answer came, the completion never.
        FaultCase{"UnplugWhileTheBoardErases", {"unplug-after-ms=100:erase"},
                  [](MiniHost& host, KvsimProcess& board) {
                    ASSERT_EQ(host.WriteBlock(kOsBase, kBlock), (Bytes{'0', '1'}));
                    ASSERT_TRUE(host.Send({0x38, 0x00, 0x40, 0x00}));
                    EXPECT_EQ(host.ReceiveByte(), uint8_t{'0'});
                    ExpectUnplugged(host, board);
                    EXPECT_TRUE(board.Events("erase").empty());
                    EXPECT_EQ(Slice(board.ReadFlashImage(), 0, 512), kBlock);
                  },
                  {"--erase-ms", "3000"}}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return std::string(param.param.name); });

TEST(KvsimBootFaults, WrongBootRomReplyByte) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10({"boot-reply=1:05"}))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), kOsBootBaud));
  EXPECT_EQ(host.BootRomDownload(WithClockByte(ReadFile(Data("os3f10.ctl")), 1), 0x0400),
            (Bytes{0x05, 0x01, 0x11, '1'}));
}

TEST(KvsimBootFaults, StartedProgramThatNeverAnswers) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10({"no-status=exec"}))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), kOsBootBaud));
  EXPECT_EQ(host.BootRomDownload(WithClockByte(ReadFile(Data("os3f10.ctl")), 1), 0x0400),
            (Bytes{0x11, 0x01, 0x11, 0xFF}));
}

TEST(KvsimBootFaults, AutoEraseFailureAndAnAutoEraseThatNeverEnds) {
  for (const char* fault : {"ae-fail=1", "no-status=autoerase"}) {
    KvsimProcess board;
    ASSERT_TRUE(board.Start([&] {
      auto o = kvsim_harness::BoardOptions("KV41K725", "4", "kv41");
      o.faults = {fault};
      return o;
    }())) << board.Error();
    MiniHost host;
    ASSERT_TRUE(host.Open(board.LinkPath(), 9600));
    ASSERT_EQ(host.Kv41Sync().size(), 7u);
    ASSERT_EQ(host.Kv41Load(ReadFile(Data("ovl/41/ae_flash.725")), 0x11000).size(), 4u);
    EXPECT_EQ(host.Kv41Start(0x11000), (Bytes{0xF1, 0x84, '1'}));
    if (std::string(fault) == "ae-fail=1") {
      EXPECT_EQ(host.ReceiveByte(), 0x34) << fault;
    } else {
      EXPECT_FALSE(host.ReceiveByte(300).has_value()) << fault;
    }
  }
}

}  // namespace
}  // namespace kvsim_test
