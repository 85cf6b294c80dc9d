#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "link_fixture.h"
#include "module_peer.h"
#include "serburn/crc16.h"
#include "serburn/data_image.h"
#include "serburn/module_protocol.h"
#include "serburn/s2_converter.h"
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
  Module() : peer(0x4000, 4 * 512) {}
  void SetUp() override {
    OpenPort();
    peer.Attach(port);
  }
  // A data file of blocks: each entry is the fill byte of one 512-byte block.
  std::string DataFile(const std::vector<int>& fills, size_t extra = 0, char extraByte = '\x11') {
    std::string data;
    for (int f : fills) data += std::string(512, static_cast<char>(f));
    data += std::string(extra, extraByte);
    settings.dataFileName = dir.Write("data.bin", data);
    return data;
  }
  // Loads the data file as the main flow does before the port is opened.
  bool LoadData() { return LoadDataImage(settings, session.dataImage, reporter); }
  // Creates the read-out target as the main flow does before the port is opened.
  bool CreateReadOut(const std::string& name) {
    settings.dataFileName = name;
    return session.readOut.Create(name, reporter);
  }
  const Bytes& Flash() { return peer.flash(); }
  // The module answers as usual; the first write that lastWrite picks is the last the
  // device takes: it goes away once the replies due at once have come.
  void LoseDeviceAfter(std::function<bool(const Bytes&)> lastWrite) {
    port.SetPeer([this, lastWrite](platform::FakeSerialPort& p, const Bytes& w) {
      peer.OnWrite(p, w);
      if (!lossArmed && lastWrite && lastWrite(w)) {
        lossArmed = true;
        p.SetDeviceLostAfter(2);
      }
    });
  }

  TempDir dir;
  ModulePeer peer;
  bool lossArmed = false;
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

struct LostCase {
  const char* name;
  // The write after which the device goes away; none: gone before the operation starts.
  std::function<bool(const Bytes&)> lastWrite;
  const char* output;  // before the error line
  std::function<bool(Session&)> operation;
};

bool CommandFrame(const Bytes& w, uint8_t code) { return w.size() == 4 && w[0] == code; }

class LostPort : public Module, public ::testing::WithParamInterface<LostCase> {};

// An adapter pulled in the middle of an operation ends the run at once as a COM-port error:
// no waiting out the erase polls or the blank-check time, no retries, no module error. What
// the module sent before it went is still used.
TEST_P(LostPort, EndsTheRunAtOnceAsAComPortError) {
  const LostCase& c = GetParam();
  DataFile({0x11, 0x22});
  ASSERT_TRUE(LoadData());
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  std::copy(session.dataImage.begin(), session.dataImage.end(), peer.flash().begin());
  port.SetDeviceLost(!c.lastWrite);
  LoseDeviceAfter(c.lastWrite);
  const uint64_t t0 = clock.TickMs();
  EXPECT_FALSE(c.operation(session));
  EXPECT_EQ(out.str(), std::string(c.output) + "\nCOM-port error: COM port lost (device removed or hung up)\n");
  EXPECT_EQ(reporter.ExitCode(), 2);
  EXPECT_TRUE(link.Lost());
  EXPECT_LE(clock.TickMs() - t0, 1100u);
  EXPECT_LE(EventsOf(Kind::Read).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LostPort,
    ::testing::Values(
        LostCase{"BeforeTestConnect", nullptr, "", TestConnect},
        LostCase{"DuringErase", [](const Bytes& w) { return CommandFrame(w, kCmdErase); }, "\nErase  : .", Erase},
        LostCase{"DuringBlankCheck", [](const Bytes& w) { return CommandFrame(w, kCmdBlankCheck); }, "\nCheck  : ",
                 BlankCheck},
        LostCase{"AfterAWrittenBlock", [](const Bytes& w) { return w.size() == 514; }, "\nProgram: p", Program},
        LostCase{"AfterAVerifiedBlock", [](const Bytes& w) { return CommandFrame(w, kCmdRead); }, "\nVerify : v",
                 Verify},
        LostCase{"AfterAReadBlock", [](const Bytes& w) { return CommandFrame(w, kCmdRead); }, "\nRead   : r",
                 ReadOut}),
    [](const auto& param) { return std::string(param.param.name); });

// The read-out of a run that lost its port leaves no file.
TEST_F(Module, LostPortDuringReadOutLeavesNoFile) {
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  LoseDeviceAfter([](const Bytes& w) { return CommandFrame(w, kCmdRead); });
  EXPECT_FALSE(ReadOut(session));
  EXPECT_EQ(dir.Count(), 0u);
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
  DataFile({1, 2});
  ASSERT_TRUE(LoadData());
  ASSERT_TRUE(Program(session)) << out.str();
  EXPECT_EQ(peer.commandCounts[kCmdWrite], 4);
}

TEST_F(Module, WriteFailuresCountUntilASuccessfulWrite) {
  peer.writeReplies = {{'0', '4'}, {'0', '1'}, {'0', '4'}, {'0', '1'}};
  DataFile({1, 2});
  ASSERT_TRUE(LoadData());
  ASSERT_TRUE(Program(session)) << out.str();
  peer.writeReplies = {{'0', '4'}, {'5'}, {'0', '4'}};
  DataFile({1});
  ASSERT_TRUE(LoadData());
  out.str("");
  EXPECT_FALSE(Program(session));
  EXPECT_EQ(out.str(), "\nProgram: \nRAM-execute operations error: 'write block' fails\n");
}

TEST_F(Module, ProgramSkipsBlankBlocksAndStopsAtTheEnd) {
  // Five blocks in the file, four in the range: the fifth is blank padding and not sent.
  const std::string data = DataFile({0x11, 0xFF, 0x33, 0xFF, 0xFF});
  ASSERT_TRUE(LoadData()) << out.str();
  ASSERT_TRUE(Program(session)) << out.str();
  EXPECT_EQ(out.str(), "\nProgram: p.p. Ok");
  EXPECT_EQ(peer.commandCounts[kCmdWrite], 2);
  EXPECT_EQ(std::string(Flash().begin(), Flash().end()), data.substr(0, 2048));
}

struct DataFileCase {
  const char* name;
  std::vector<int> blocks;  // fill bytes of whole blocks
  size_t extra;             // bytes after them
  char extraByte;
  const char* message;      // nullptr: accepted
};

class DataFiles : public Module, public ::testing::WithParamInterface<DataFileCase> {};

// A data file is judged whole before anything is sent: the range holds four blocks.
TEST_P(DataFiles, AreCheckedBeforeTheChipIsTouched) {
  const DataFileCase& c = GetParam();
  DataFile(c.blocks, c.extra, c.extraByte);
  const bool loaded = LoadData();
  EXPECT_EQ(loaded, c.message == nullptr) << out.str();
  std::string expected = c.message ? std::string("\nFile operations error: ") + c.message + "\n" : "";
  const size_t name = expected.find("DATA");  // the message names the file
  if (name != std::string::npos) expected.replace(name, 4, settings.dataFileName);
  EXPECT_EQ(out.str(), expected);
  EXPECT_TRUE(Writes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFiles,
    ::testing::Values(
        DataFileCase{"FitsTheArea", {1, 2, 3, 4}, 0, 0, nullptr},
        DataFileCase{"ShorterThanTheArea", {1}, 0, 0, nullptr},
        DataFileCase{"PaddedWithBlankBytes", {1, 2, 3, 4, 0xFF}, 100, '\xFF', nullptr},
        DataFileCase{"PartialLastBlock", {0x11}, 100, '\x11', "unable to read from data file"},
        DataFileCase{"LongerThanTheArea", {1, 2, 3, 4}, 1, '\x00',
                     "data file DATA has 2049 bytes, more than the 2048 bytes of the flash area "
                     "0x004000..0x0047FF (only 0xFF may follow the area)"},
        DataFileCase{"DataFarPastTheArea", {1, 2, 3, 4, 0xFF, 0xFF, 7}, 0, 0,
                     "data file DATA has 3584 bytes, more than the 2048 bytes of the flash area "
                     "0x004000..0x0047FF (only 0xFF may follow the area)"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Module, MissingDataFile) {
  settings.dataFileName = dir.File("missing.bin");
  EXPECT_FALSE(LoadData());
  EXPECT_EQ(out.str(), "\nFile operations error: unable to open data file\n");
}

struct VerifyBlankCase {
  bool erasedThisRun;
  const char* output;
  int reads;
};

class VerifyOfBlankBlocks : public Module, public ::testing::WithParamInterface<VerifyBlankCase> {};

// A block that is blank in the file is skipped only where this run erased the flash;
// otherwise it is read, so flash that was not erased there is reported.
TEST_P(VerifyOfBlankBlocks, AreReadUnlessThisRunErased) {
  DataFile({0x11, 0xFF, 0x33});
  ASSERT_TRUE(LoadData());
  ASSERT_TRUE(Program(session));
  peer.flash()[512 + 9] = 0x00;  // not erased, blank in the file
  session.flashErased = GetParam().erasedThisRun;
  peer.commandCounts.clear();
  out.str("");
  EXPECT_EQ(Verify(session), GetParam().erasedThisRun);
  EXPECT_EQ(out.str(), GetParam().output);
  EXPECT_EQ(peer.commandCounts[kCmdRead], GetParam().reads);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerifyOfBlankBlocks,
    ::testing::Values(VerifyBlankCase{true, "\nVerify : v.v Ok", 2},
                      VerifyBlankCase{false,
                                      "\nVerify : v\nRAM-execute operations error: Verify FAIL. "
                                      "Address=0x004209: readed=0x00, must be=0xff \n",
                                      2}));

TEST_F(Module, VerifyDifference) {
  DataFile({0x11, 0x22});
  ASSERT_TRUE(LoadData());
  ASSERT_TRUE(Program(session));
  peer.flash()[512 + 7] = 0x20;
  out.str("");
  EXPECT_FALSE(Verify(session));
  EXPECT_EQ(out.str(), "\nVerify : v\nRAM-execute operations error: Verify FAIL. Address=0x004207: readed=0x20, "
                       "must be=0x22 \n");
}

TEST_F(Module, ReadWritesEveryBlockOfTheRange) {
  for (size_t i = 0; i < peer.flash().size(); ++i) peer.flash()[i] = static_cast<uint8_t>(i * 13);
  settings.endAddress = 0x4000 + 3 * 512 + 10;  // inside the fourth block: the whole block is read
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  ASSERT_TRUE(ReadOut(session)) << out.str();
  EXPECT_EQ(out.str(), "\nRead   : rrrr Ok");
  std::ifstream in(settings.dataFileName, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(file, Flash());
}

TEST_F(Module, ReadOutThatCannotBeStoredIsAFileError) {
  ASSERT_TRUE(CreateReadOut("/dev/full"));
  EXPECT_FALSE(ReadOut(session));
  EXPECT_EQ(out.str(), "\nRead   : rrrr\nFile operations error: unable to write to data file\n");
  EXPECT_EQ(reporter.ExitCode(), 3);
}

TEST_F(Module, ShortReadFramesAreRetriedTwice) {
  peer.readFaults = {ReadFault::Short, ReadFault::Short};
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  ASSERT_TRUE(ReadOut(session)) << out.str();
  EXPECT_EQ(peer.commandCounts[kCmdRead], 6);
  peer.readFaults = {ReadFault::Short, ReadFault::Short, ReadFault::Short};
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  out.str("");
  EXPECT_FALSE(ReadOut(session));
  EXPECT_EQ(out.str(), "\nRead   : \nRAM-execute operations error: received data block has incorrect size\n");
}

TEST_F(Module, BadStatusIsNotRetried) {
  peer.readFaults = {ReadFault::BadStatus};
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  EXPECT_FALSE(ReadOut(session));
  EXPECT_EQ(out.str(), "\nRead   : \nRAM-execute operations error: CRC error in received data block\n");
  EXPECT_EQ(peer.commandCounts[kCmdRead], 1);
}

TEST_F(Module, ReceivedCrcErrorIsRetriedOncePerRun) {
  peer.readFaults = {ReadFault::None, ReadFault::BadCrc};
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  ASSERT_TRUE(ReadOut(session)) << out.str();
  EXPECT_EQ(peer.commandCounts[kCmdRead], 5);
  peer.readFaults = {ReadFault::None, ReadFault::None, ReadFault::BadCrc};
  ASSERT_TRUE(CreateReadOut(dir.File("out.bin")));
  out.str("");
  EXPECT_FALSE(ReadOut(session));  // the second mismatch of the run, good blocks in between
  EXPECT_EQ(out.str(), "\nRead   : rr\nRAM-execute operations error: CRC error in received data block\n");
}

// A read into a .mhx name writes S2 records of the flash, which read back to the flash.
TEST_F(Module, ReadIntoMhxNameWritesS2Records) {
  for (size_t i = 0; i < peer.flash().size(); ++i) peer.flash()[i] = static_cast<uint8_t>(i * 7 + 1);
  const std::string mhx = dir.Write("image.mhx", "S0030000FC\nS2050040007E3C\n");
  ASSERT_TRUE(CreateReadOut(mhx));
  ASSERT_TRUE(ReadOut(session)) << out.str();
  std::vector<uint8_t> image;
  ASSERT_TRUE(ConvertS2File(mhx, settings.startAddress, settings.endAddress, image, reporter)) << out.str();
  EXPECT_EQ(image, Flash());
  EXPECT_EQ(dir.Count(), 1u);  // no temporary file left
}

// A read that ends on an error keeps the file that was there and leaves nothing beside it.
TEST_F(Module, AbandonedReadOutKeepsTheOldFile) {
  const std::string old = dir.Write("out.bin", "the old contents");
  peer.readFaults = {ReadFault::None, ReadFault::BadStatus};
  ASSERT_TRUE(CreateReadOut(old));
  EXPECT_FALSE(ReadOut(session));
  std::ifstream in(old, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "the old contents");
  EXPECT_EQ(dir.Count(), 1u);
}

TEST_F(Module, ProgramAndVerifyFromMhx) {
  settings.dataFileName = dir.Write("image.mhx", "S0030000FC\nS2050042007E3A\nS804000000FB\n");
  ASSERT_TRUE(LoadData()) << out.str();
  ASSERT_TRUE(Program(session)) << out.str();
  ASSERT_TRUE(Verify(session)) << out.str();
  EXPECT_EQ(out.str(), "\nProgram: .p.. Ok\nVerify : vvvv Ok");
  EXPECT_EQ(peer.flash()[512], 0x7E);
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
