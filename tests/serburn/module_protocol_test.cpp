#include <fstream>
#include <iterator>
#include <string>

#include "link_fixture.h"
#include "module_peer.h"
#include "serburn/crc16.h"
#include "serburn/module_protocol.h"
#include "temp_dir.h"

namespace serburn {
namespace {

using testing::Bytes;
using testing::Kind;
using testing::LinkFixture;
using testing::ModulePeer;
using testing::TempDir;
using ReadFault = ModulePeer::ReadFault;

TEST(Crc16, CheckValue) {
  const std::string text = "123456789";
  EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0x31C3);
  EXPECT_EQ(Crc16Xmodem(nullptr, 0), 0);
}

class Module : public LinkFixture {
 protected:
  Module() : peer(0x4000, 4 * 512) {
    session.tempDirectory = dir.path();
  }
  void SetUp() override {
    OpenPort();
    peer.Attach(port);
  }
  // A data file of blocks: each entry is the fill byte of one 512-byte block.
  std::string DataFile(const std::vector<int>& fills, size_t extra = 0) {
    std::string data;
    for (int f : fills) data += std::string(512, static_cast<char>(f));
    data += std::string(extra, '\x11');
    settings.dataFileName = dir.Write("data.bin", data);
    return data;
  }
  const Bytes& Flash() { return peer.flash(); }

  TempDir dir;
  ModulePeer peer;
};

TEST_F(Module, TestConnect) {
  ASSERT_TRUE(TestConnect(session));
  EXPECT_EQ(port.Events()[0].kind, Kind::Purge);
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes{0xE8}});
}

TEST_F(Module, TestConnectReplies) {
  port.SetPeer({});
  EXPECT_FALSE(TestConnect(session));
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(0x32); });
  EXPECT_FALSE(TestConnect(session));
  EXPECT_EQ(out.str(),
            "\nRAM-execute operations error: not received reply during test connect\n"
            "\nRAM-execute operations error: received wrong reply during test connect. Received=0x32, must be=0x31\n");
  EXPECT_EQ(reporter.ExitCode(), 5);
}

TEST_F(Module, CommandSendsAddressLeastSignificantFirst) {
  ASSERT_TRUE(Command(session, kCmdBlankCheck, 0x123456 & 0xFFFE00));
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes({0x48, 0x00, 0x34, 0x12})});
}

struct CommandReply {
  Bytes replies;
  const char* message;
};

class CommandReplies : public LinkFixture, public ::testing::WithParamInterface<CommandReply> {};

TEST_P(CommandReplies, Messages) {
  OpenPort();
  const Bytes replies = GetParam().replies;
  port.SetPeer([replies](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(replies); });
  EXPECT_FALSE(Command(session, kCmdRead, 0x4000));
  EXPECT_EQ(out.str(), std::string("\nRAM-execute operations error: ") + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandReplies,
                         ::testing::Values(CommandReply{{}, "not received ASK reply on command"},
                                           CommandReply{{'1'}, "received wrong ASK reply on command"},
                                           CommandReply{{'0'}, "not received valid OK reply on command"},
                                           CommandReply{{'0', '4'}, "COMMAND fails"},
                                           CommandReply{{'0', '5'}, "received wrong reply on command"}));

TEST_F(Module, EraseWaitsInOneSecondPolls) {
  peer.eraseMs = 2500;
  ASSERT_TRUE(Erase(session));
  EXPECT_EQ(out.str(), "\nErase  : .. Ok");  // each poll is a 1 s wait and a read of up to 800 ms
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes({0x38, 0x00, 0x40, 0x00})});
}

TEST_F(Module, EraseGivesUpAfterFiftyDots) {
  peer.eraseMs = 1000000;
  EXPECT_FALSE(Erase(session));
  EXPECT_EQ(out.str(), "\nErase  : " + std::string(16, '.') + "|" + std::string(16, '.') + "|" +
                           std::string(16, '.') + "|.." +
                           "\nRAM-execute operations error: not received valid OK reply on command\n");
}

TEST_F(Module, EraseFailure) {
  peer.eraseResult = '4';
  EXPECT_FALSE(Erase(session));
  EXPECT_EQ(out.str(), "\nErase  : ..\nRAM-execute operations error: COMMAND fails\n");
}

TEST_F(Module, BlankCheckWaitsFiveSeconds) {
  peer.blankMs = 4500;
  ASSERT_TRUE(BlankCheck(session));
  EXPECT_EQ(out.str(), "\nCheck  :  Ok");
  out.str("");
  peer.blankMs = 6500;
  const uint64_t t0 = clock.TickMs();
  EXPECT_FALSE(BlankCheck(session));
  EXPECT_EQ(out.str(), "\nCheck  : \nRAM-execute operations error: not received valid OK reply on command\n");
  EXPECT_GE(clock.TickMs() - t0, 5000u);
  EXPECT_LT(clock.TickMs() - t0, 6500u);
  out.str("");
  clock.Advance(2000);  // the late reply arrives and is dropped by the next command
  peer.blankMs = 10;
  peer.blankResult = '4';
  EXPECT_FALSE(BlankCheck(session));
  EXPECT_EQ(out.str(), "\nCheck  : \nRAM-execute operations error: COMMAND fails\n");
}

TEST_F(Module, WriteBlockFrameCarriesTheCrcHighByteFirst) {
  Bytes block(512);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(Command(session, kCmdWrite, 0x4200));
  ASSERT_EQ(WriteBlock(session, block.data()), BlockResult::Done);
  const Bytes frame = Writes().back();
  ASSERT_EQ(frame.size(), 514u);
  const uint16_t crc = Crc16Xmodem(block.data(), 512);
  EXPECT_EQ(frame[512], crc >> 8);
  EXPECT_EQ(frame[513], crc & 0xFF);
  EXPECT_EQ(Bytes(Flash().begin() + 512, Flash().begin() + 1024), block);
}

struct WriteCase {
  std::vector<Bytes> replies;
  BlockResult second;  // result of the second write (after a retry)
  const char* message;
};

class WriteReplies : public Module, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteReplies, RetriesAndFailures) {
  for (const Bytes& r : GetParam().replies) peer.writeReplies.push_back(r);
  const Bytes block(512, 0x42);
  ASSERT_TRUE(Command(session, kCmdWrite, 0x4000));
  const BlockResult first = WriteBlock(session, block.data());
  BlockResult second = first;
  if (first == BlockResult::Retry) {
    ASSERT_TRUE(Command(session, kCmdWrite, 0x4000));
    second = WriteBlock(session, block.data());
  }
  EXPECT_EQ(second, GetParam().second);
  const std::string expected =
      GetParam().message ? std::string("\nRAM-execute operations error: ") + GetParam().message + "\n" : "";
  EXPECT_EQ(out.str(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteReplies,
    ::testing::Values(WriteCase{{{'5'}}, BlockResult::Done, nullptr},
                      WriteCase{{{'5'}, {'5'}}, BlockResult::Failed, "CRC error in transmit data block"},
                      WriteCase{{{'0', '4'}}, BlockResult::Done, nullptr},
                      WriteCase{{{'0', '4'}, {'0', '4'}}, BlockResult::Failed, "'write block' fails"},
                      WriteCase{{{}}, BlockResult::Failed, "not received valid reply during 'write block'"},
                      WriteCase{{{'0'}}, BlockResult::Failed, "not received valid reply during 'write block'"},
                      WriteCase{{{'1', '0'}}, BlockResult::Failed, "received wrong reply on command 'write block'"},
                      WriteCase{{{'5', '5'}}, BlockResult::Failed, "received wrong reply on command 'write block'"}));

TEST_F(Module, TransmitCrcCountIsResetByAnyOtherOutcome) {
  peer.writeReplies = {{'5'}, {'0', '1'}, {'5'}, {'0', '1'}};
  const std::string data = DataFile({1, 2});
  ASSERT_TRUE(Program(session)) << out.str();
  EXPECT_EQ(peer.commandCounts[kCmdWrite], 4);
}

TEST_F(Module, WriteFailuresCountUntilASuccessfulWrite) {
  peer.writeReplies = {{'0', '4'}, {'0', '1'}, {'0', '4'}, {'0', '1'}};
  DataFile({1, 2});
  ASSERT_TRUE(Program(session)) << out.str();
  peer.writeReplies = {{'0', '4'}, {'5'}, {'0', '4'}};
  DataFile({1});
  out.str("");
  EXPECT_FALSE(Program(session));
  EXPECT_EQ(out.str(), "\nProgram: \nRAM-execute operations error: 'write block' fails\n");
}

TEST_F(Module, ProgramSkipsBlankBlocksAndStopsAtTheEnd) {
  // Five blocks in the file, four in the range: the fifth is ignored without a message.
  const std::string data = DataFile({0x11, 0xFF, 0x33, 0xFF, 0x55});
  ASSERT_TRUE(Program(session)) << out.str();
  EXPECT_EQ(out.str(), "\nProgram: p.p. Ok");
  EXPECT_EQ(peer.commandCounts[kCmdWrite], 2);
  EXPECT_EQ(std::string(Flash().begin(), Flash().end()), data.substr(0, 2048));
}

TEST_F(Module, ProgramPartialLastBlock) {
  DataFile({0x11}, 100);
  EXPECT_FALSE(Program(session));
  EXPECT_EQ(out.str(), "\nProgram: p\nFile operations error: unable to read from data file\n");
  EXPECT_EQ(reporter.ExitCode(), 3);
}

TEST_F(Module, ProgramWithoutDataFile) {
  settings.dataFileName = dir.File("missing.bin");
  EXPECT_FALSE(Program(session));
  EXPECT_EQ(out.str(), "\nProgram: \nFile operations error: unable to open data file\n");
}

TEST_F(Module, VerifyReadsOnlyBlocksThatAreNotBlankInTheFile) {
  DataFile({0x11, 0xFF, 0x33});
  ASSERT_TRUE(Program(session));
  peer.flash()[512] = 0x00;  // not erased, but blank in the file: not reported
  out.str("");
  ASSERT_TRUE(Verify(session)) << out.str();
  EXPECT_EQ(out.str(), "\nVerify : v.v Ok");
  EXPECT_EQ(peer.commandCounts[kCmdRead], 2);
}

TEST_F(Module, VerifyDifference) {
  DataFile({0x11, 0x22});
  ASSERT_TRUE(Program(session));
  peer.flash()[512 + 7] = 0x20;
  out.str("");
  EXPECT_FALSE(Verify(session));
  EXPECT_EQ(out.str(), "\nVerify : v\nRAM-execute operations error: Verify FAIL. Address=0x004207: readed=0x20, "
                       "must be=0x22 \n");
}

TEST_F(Module, ReadWritesEveryBlockOfTheRange) {
  for (size_t i = 0; i < peer.flash().size(); ++i) peer.flash()[i] = static_cast<uint8_t>(i * 13);
  settings.dataFileName = dir.File("out.bin");
  settings.endAddress = 0x4000 + 3 * 512 + 10;  // inside the fourth block: the whole block is read
  ASSERT_TRUE(ReadOut(session)) << out.str();
  EXPECT_EQ(out.str(), "\nRead   : rrrr Ok");
  std::ifstream in(settings.dataFileName, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(file, Flash());
}

TEST_F(Module, ReadOutThatCannotBeStoredIsAFileError) {
  settings.dataFileName = "/dev/full";
  EXPECT_FALSE(ReadOut(session));
  EXPECT_EQ(out.str(), "\nRead   : rrrr\nFile operations error: unable to write to data file\n");
  EXPECT_EQ(reporter.ExitCode(), 3);
}

TEST_F(Module, ShortReadFramesAreRetriedTwice) {
  peer.readFaults = {ReadFault::Short, ReadFault::Short};
  settings.dataFileName = dir.File("out.bin");
  ASSERT_TRUE(ReadOut(session)) << out.str();
  EXPECT_EQ(peer.commandCounts[kCmdRead], 6);
  peer.readFaults = {ReadFault::Short, ReadFault::Short, ReadFault::Short};
  out.str("");
  EXPECT_FALSE(ReadOut(session));
  EXPECT_EQ(out.str(), "\nRead   : \nRAM-execute operations error: received data block has incorrect size\n");
}

TEST_F(Module, BadStatusIsNotRetried) {
  peer.readFaults = {ReadFault::BadStatus};
  settings.dataFileName = dir.File("out.bin");
  EXPECT_FALSE(ReadOut(session));
  EXPECT_EQ(out.str(), "\nRead   : \nRAM-execute operations error: CRC error in received data block\n");
  EXPECT_EQ(peer.commandCounts[kCmdRead], 1);
}

TEST_F(Module, ReceivedCrcErrorIsRetriedOncePerRun) {
  peer.readFaults = {ReadFault::None, ReadFault::BadCrc};
  settings.dataFileName = dir.File("out.bin");
  ASSERT_TRUE(ReadOut(session)) << out.str();
  EXPECT_EQ(peer.commandCounts[kCmdRead], 5);
  peer.readFaults = {ReadFault::None, ReadFault::None, ReadFault::BadCrc};
  out.str("");
  EXPECT_FALSE(ReadOut(session));  // the second mismatch of the run, good blocks in between
  EXPECT_EQ(out.str(), "\nRead   : rr\nRAM-execute operations error: CRC error in received data block\n");
}

TEST_F(Module, ReadIntoMhxNameConvertsAndLeavesTheFileUnchanged) {
  const std::string mhx = "S0030000FC\nS2050040007E3C\n";
  settings.dataFileName = dir.Write("image.mhx", mhx);
  ASSERT_TRUE(ReadOut(session)) << out.str();
  std::ifstream in(settings.dataFileName, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), mhx);
  EXPECT_EQ(dir.Count(), 1u);  // the temporary file is gone
}

TEST_F(Module, ProgramAndVerifyFromMhx) {
  settings.dataFileName = dir.Write("image.mhx", "S0030000FC\nS2050042007E3A\nS804000000FB\n");
  ASSERT_TRUE(Program(session)) << out.str();
  ASSERT_TRUE(Verify(session)) << out.str();
  EXPECT_EQ(out.str(), "\nProgram: .p.. Ok\nVerify : .v.. Ok");
  EXPECT_EQ(peer.flash()[512], 0x7E);
  EXPECT_EQ(dir.Count(), 1u);
}

TEST_F(Module, VerifyFailureRemovesTheTemporaryFile) {
  settings.dataFileName = dir.Write("image.mhx", "S0030000FC\nS2050042007E3A\n");
  EXPECT_FALSE(Verify(session));
  EXPECT_EQ(dir.Count(), 1u);
}

TEST_F(Module, AutoEraseWaitsForTheModulesByte) {
  UseKV41(725);
  settings.erase = true;
  settings.overlayDirectory = dir.path() + "/ovl/";
  dir.Write("ovl/ae_flash.725", std::string(16, '\x5A'));
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes& w) {
    if (w.size() == 24) p.QueueInput({0xF1, 0x83, 0, 0});
    if (w.size() == 3) {
      p.QueueInput({0xF1, 0x84, 0x00});
      p.QueueInput(0xFF, 3500);
    }
  });
  ASSERT_TRUE(AutoErase(session)) << out.str();
  EXPECT_FALSE(settings.erase);
  EXPECT_EQ(out.str(), "\nDownloading KV41 ae_flash.725 for parameter /KV41K725 :  Ok\nAutoErase    : .. Ok");
  EXPECT_TRUE(EventsOf(Kind::SetBaud).empty());
}

struct AutoEraseCase {
  Bytes result;  // the module's byte, empty: nothing
  std::string tail;
};

class AutoEraseResults : public Module, public ::testing::WithParamInterface<AutoEraseCase> {};

TEST_P(AutoEraseResults, Messages) {
  UseKV41(725);
  settings.overlayDirectory = dir.path() + "/";
  dir.Write("ae_flash.725", "x");
  const Bytes result = GetParam().result;
  port.SetPeer([result](platform::FakeSerialPort& p, const Bytes& w) {
    if (w.size() == 9) p.QueueInput({0xF1, 0x83, 0, 0});
    if (w.size() == 3) {
      p.QueueInput({0xF1, 0x84, 0x31});
      if (!result.empty()) p.QueueInput(result, 100);
    }
  });
  EXPECT_FALSE(AutoErase(session));
  EXPECT_EQ(out.str(), std::string("\nDownloading KV41 ae_flash.725 for parameter /KV41K725 :  Ok\nAutoErase    : ") +
                           GetParam().tail);
}

const std::string kFifty =
    std::string(16, '.') + "|" + std::string(16, '.') + "|" + std::string(16, '.') + "|..";

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoEraseResults,
    ::testing::Values(AutoEraseCase{{0x00}, ".\nRAM-execute operations error: autoerase fails\n"},
                      AutoEraseCase{{}, kFifty + "\nRAM-execute operations error: not received valid reply during autoerase\n"}));

}  // namespace
}  // namespace serburn
