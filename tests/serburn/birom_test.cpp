#include <cstdlib>
#include <optional>
#include <string>

#include "link_fixture.h"
#include "serburn/birom.h"
#include "temp_dir.h"

namespace serburn {
namespace {

using testing::Bytes;
using testing::Kind;
using testing::LinkFixture;
using testing::TempDir;

// A boot ROM that answers the handshake byte of the older dialects.
void AnswerSync(platform::FakeSerialPort& port, const Bytes& written) {
  if (written == Bytes{0x18}) port.QueueInput(0x11, 2);
}

class Birom : public LinkFixture {
 protected:
  std::string Module(const Bytes& bytes) {
    return dir.Write("mods/mod.bin", std::string(bytes.begin(), bytes.end()));
  }
  TempDir dir;
};

TEST_F(Birom, OpenSetsTimeoutsLowersLinesAndResolvesThePortName) {
  settings.portName = "COM3";
  setenv("KVPORT_COM3", "/dev/pts/77", 1);
  ASSERT_TRUE(link.Open());
  unsetenv("KVPORT_COM3");
  EXPECT_EQ(port.OpenedPath(), "/dev/pts/77");
  const platform::SerialTimeouts t = port.Timeouts();
  EXPECT_EQ(t.readIntervalMs, 500u);
  EXPECT_EQ(t.readTotalPerByteMs, 50u);
  EXPECT_EQ(t.readTotalConstantMs, 750u);
  EXPECT_EQ(t.writeTotalPerByteMs, 20u);
  EXPECT_EQ(t.writeTotalConstantMs, 100u);
  EXPECT_FALSE(port.Dtr());
  EXPECT_FALSE(port.Rts());
}

TEST_F(Birom, DevicePathIsUsedAsItStands) {
  settings.portName = "/dev/ttyUSB0";
  ASSERT_TRUE(link.Open());
  EXPECT_EQ(port.OpenedPath(), "/dev/ttyUSB0");
}

// A byte that arrives is the byte; silence is nothing, never a byte of 0.
TEST_F(Birom, ReadByteTellsSilenceFromAZeroByte) {
  OpenPort();
  port.QueueInput(0x00);
  EXPECT_EQ(link.ReadByte(), std::optional<uint8_t>(0x00));
  EXPECT_EQ(link.ReadByte(), std::nullopt);
  port.QueueInput(0x42);
  EXPECT_EQ(link.ReadByte(), std::optional<uint8_t>(0x42));
}

// A reply that is waited for but not judged is one read of its length.
TEST_F(Birom, SkipBytesIsOneReadOfTheCountAsked) {
  OpenPort();
  port.QueueInput({1, 2, 3});
  link.SkipBytes(2);
  const auto reads = EventsOf(Kind::Read);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].value, 2u);
  EXPECT_EQ(link.ReadByte(), std::optional<uint8_t>(3));
}

TEST_F(Birom, PortErrors) {
  port.SetOpenFails(true);
  EXPECT_FALSE(link.Open());
  port.SetOpenFails(false);
  port.SetTimeoutsFail(true);
  EXPECT_FALSE(link.Open());
  port.SetTimeoutsFail(false);
  ASSERT_TRUE(link.Open());
  port.SetBaudFails(true);
  EXPECT_FALSE(link.SetBaud(9600));
  port.SetWriteFails(true);
  EXPECT_FALSE(link.WriteByte(1));
  EXPECT_EQ(out.str(),
            "\nCOM-port error: unable to open COM\n\nCOM-port error: unable to set timeouts for COM\n"
            "\nCOM-port error: unable to set baudrate\n\nCOM-port error: unable to write to COM\n");
  EXPECT_EQ(reporter.ExitCode(), 2);
}

TEST_F(Birom, ResetPulseIntoBiromThenHandshake) {
  OpenPort();
  port.SetPeer(AnswerSync);
  const uint64_t t0 = clock.TickMs();
  EXPECT_EQ(Sync(session), SyncResult::Synced);
  const auto& e = port.Events();
  ASSERT_GE(e.size(), 6u);
  EXPECT_EQ(e[0].kind, Kind::Rts);  // mode line on
  EXPECT_EQ(e[0].value, 1u);
  EXPECT_EQ(e[1].kind, Kind::Dtr);  // reset line on
  EXPECT_EQ(e[1].value, 1u);
  EXPECT_EQ(e[0].timeMs, t0);
  EXPECT_EQ(e[1].timeMs, t0);
  EXPECT_EQ(e[2].kind, Kind::Dtr);  // reset line off after more than 100 ms
  EXPECT_EQ(e[2].value, 0u);
  EXPECT_GT(e[2].timeMs - t0, 100u);
  EXPECT_LE(e[2].timeMs - t0, 102u);
  EXPECT_EQ(e[3].kind, Kind::Purge);  // after the reset wait
  EXPECT_GT(e[3].timeMs - e[2].timeMs, 400u);
  EXPECT_LE(e[3].timeMs - e[2].timeMs, 402u);
  EXPECT_EQ(e[4].kind, Kind::Write);
  EXPECT_EQ(e[4].data, Bytes{0x18});
  EXPECT_TRUE(port.Rts());  // the mode line keeps its state
  EXPECT_FALSE(port.Dtr());
}

TEST_F(Birom, SwappedPinsPulseRtsAndSetModeOnDtr) {
  settings.swapPins = true;
  OpenPort();
  port.SetPeer(AnswerSync);
  EXPECT_EQ(Sync(session), SyncResult::Synced);
  const auto& e = port.Events();
  EXPECT_EQ(e[0].kind, Kind::Dtr);
  EXPECT_EQ(e[0].value, 1u);
  EXPECT_EQ(e[1].kind, Kind::Rts);
  EXPECT_EQ(e[1].value, 1u);
  EXPECT_EQ(e[2].kind, Kind::Rts);
  EXPECT_EQ(e[2].value, 0u);
  EXPECT_TRUE(port.Dtr());
}

TEST_F(Birom, ZeroResetWaitSendsTheHandshakeAtOnce) {
  settings.resetWaitMs = 0;
  OpenPort();
  port.SetPeer(AnswerSync);
  EXPECT_EQ(Sync(session), SyncResult::Synced);
  const auto pulseEnd = EventsOf(Kind::Dtr).back().timeMs;
  const auto handshake = EventsOf(Kind::Write).front().timeMs;
  EXPECT_LE(handshake - pulseEnd, 1u);
}

TEST_F(Birom, NoPinControlNeverTouchesTheLines) {
  settings.noPinControl = true;
  OpenPort();
  port.SetPeer(AnswerSync);
  EXPECT_EQ(Sync(session), SyncResult::Synced);
  link.CloseAfterReset();
  EXPECT_TRUE(EventsOf(Kind::Dtr).empty());
  EXPECT_TRUE(EventsOf(Kind::Rts).empty());
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes{0x18}});
}

TEST_F(Birom, PortWithoutModemLinesFailsThePulse) {
  port.SetHasModemLines(false);
  OpenPort();
  EXPECT_EQ(Sync(session), SyncResult::Failed);
  EXPECT_EQ(out.str(), "\nCOM-port error: unable to control state of DTR/RTS pins\n");
  EXPECT_EQ(reporter.ExitCode(), 2);
  // The closing pulse fails quietly and the port is closed.
  link.CloseAfterReset();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(out.str(), "\nCOM-port error: unable to control state of DTR/RTS pins\n");
}

TEST_F(Birom, ClosingPulseIntoNormalMode) {
  OpenPort();
  link.CloseAfterReset();
  const auto& e = port.Events();
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].kind, Kind::Rts);
  EXPECT_EQ(e[0].value, 0u);
  EXPECT_EQ(e[1].kind, Kind::Dtr);
  EXPECT_EQ(e[1].value, 1u);
  EXPECT_EQ(e[2].kind, Kind::Dtr);
  EXPECT_EQ(e[2].value, 0u);
  EXPECT_EQ(e[3].kind, Kind::Close);
  EXPECT_GT(e[3].timeMs - e[2].timeMs, 400u);
}

TEST_F(Birom, HandshakeAnswers) {
  OpenPort();
  EXPECT_EQ(Sync(session), SyncResult::NotSynced);  // silence
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(0x12); });
  EXPECT_EQ(Sync(session), SyncResult::NotSynced);
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput({0x11, 0x11}); });
  EXPECT_EQ(Sync(session), SyncResult::Synced);  // one byte is read
  EXPECT_EQ(out.str(), "");
}

TEST_F(Birom, DownloadOptionSyncTakesWhateverComes) {
  settings.downloadOption = true;
  OpenPort();
  EXPECT_EQ(Sync(session), SyncResult::Synced);
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(EventsOf(Kind::Read).size(), 1u);
  // The older KV41 dialect keeps the 0x18/0x11 exchange.
  UseKV41(604);
  port.ClearEvents();
  EXPECT_EQ(Sync(session), SyncResult::NotSynced);
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes{0x18}});
}

TEST_F(Birom, NewerDialectSendsSevenVWithGaps) {
  UseKV41(725);
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) {
    static int n = 0;
    if (++n == 7) p.QueueInput({0x00, 0x46, 0x00});
  });
  EXPECT_EQ(Sync(session), SyncResult::Synced);
  const auto writes = EventsOf(Kind::Write);
  ASSERT_EQ(writes.size(), 7u);
  for (size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].data, Bytes{0x56});
    if (i > 0) {
      EXPECT_GT(writes[i].timeMs - writes[i - 1].timeMs, 30u);
    }
  }
  const auto reads = EventsOf(Kind::Read);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].value, 7u);
  EXPECT_GT(reads[0].timeMs - writes.back().timeMs, 30u);
}

TEST_F(Birom, NewerDialectWithoutFIsNoSync) {
  UseKV41(725);
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(0x45); });
  EXPECT_EQ(Sync(session), SyncResult::NotSynced);
}

TEST_F(Birom, AutoBaudSettlesOnTheAnsweringRate) {
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes& w) {
    if (p.BaudRate() == 9600 && w == Bytes{0x18}) p.QueueInput(0x11);
  });
  ASSERT_TRUE(AutoBaud(session));
  EXPECT_EQ(out.str(), "\nBIROM Baud   : 9600 Ok.");
  EXPECT_EQ(settings.biromBaud, 9600);
  EXPECT_EQ(settings.progBaud, 19200);
  std::vector<uint32_t> rates;
  for (const auto& e : EventsOf(Kind::SetBaud)) rates.push_back(e.value);
  EXPECT_EQ(rates, (std::vector<uint32_t>{4800, 9600}));
}

TEST_F(Birom, AutoBaudWithoutAnswer) {
  OpenPort();
  EXPECT_FALSE(AutoBaud(session));
  EXPECT_EQ(out.str(), "\nBIROM Baud   : \nBIROM operations error: MCU not found during test connect\n");
  EXPECT_EQ(EventsOf(Kind::SetBaud).size(), 3u);
}

TEST_F(Birom, ManualResetWaitsUpTo200Syncs) {
  settings.noPinControl = true;
  OpenPort();
  int syncs = 0;
  port.SetPeer([&syncs](platform::FakeSerialPort& p, const Bytes&) {
    if (++syncs == 3) p.QueueInput(0x11);
  });
  ASSERT_TRUE(EnterBirom(session));
  EXPECT_EQ(syncs, 3);
  EXPECT_EQ(out.str(), "\nWait RESET MCU.");
  port.SetPeer({});
  port.ClearEvents();
  EXPECT_FALSE(EnterBirom(session));
  EXPECT_EQ(Writes().size(), 200u);
}

TEST_F(Birom, EntryWithPinsIsOneSync) {
  OpenPort();
  EXPECT_FALSE(EnterBirom(session));
  EXPECT_EQ(Writes().size(), 1u);
  EXPECT_EQ(out.str(), "\nBIROM operations error: MCU not found during test connect\n");
  EXPECT_EQ(reporter.ExitCode(), 4);
}

TEST_F(Birom, KV41ManualResetIsOneSync) {
  UseKV41(604);
  settings.noPinControl = true;
  OpenPort();
  EXPECT_FALSE(EnterBirom(session));
  EXPECT_EQ(Writes().size(), 1u);
  EXPECT_EQ(out.str(), "\nWait RESET MCU.\nBIROM operations error: MCU not found during test connect\n");
}

TEST_F(Birom, KV40DownloadFrame) {
  settings.clockIndex = 3;
  settings.loadAddress = 0x12345;
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes& w) {
    if (w.size() > 1) p.QueueInput(0x01);
  });
  ASSERT_TRUE(DownloadModule(session, Module({0xA0, 0xA1, 0xA2, 0xA3})));
  const Bytes frame = {0x00, 0x23, 0x45, 0x00, 0x04, 0xA0, 0xA1, 0x02, 0xA3,
                       static_cast<uint8_t>(0x23 + 0x45 + 0x04 + 0xA0 + 0xA1 + 0x02 + 0xA3)};
  EXPECT_EQ(Writes(), std::vector<Bytes>{frame});
  EXPECT_EQ(port.Events()[0].kind, Kind::Purge);
  EXPECT_EQ(port.Events()[2].kind, Kind::Drain);
  EXPECT_EQ(out.str(), "\nDownloading KV40 mod.bin for parameter /KV40K358 :  Ok");
}

TEST_F(Birom, KV40DownloadRetriesMarkTheSyncResult) {
  OpenPort();
  int downloads = 0;
  int syncs = 0;
  port.SetPeer([&](platform::FakeSerialPort& p, const Bytes& w) {
    if (w == Bytes{0x18} && ++syncs == 2) p.QueueInput(0x11);  // the second sync is answered
    if (w.size() > 1 && ++downloads == 3) p.QueueInput(0x01);
  });
  ASSERT_TRUE(DownloadModule(session, Module({1, 2, 3})));
  EXPECT_EQ(downloads, 3);
  EXPECT_EQ(out.str(), "\nDownloading KV40 mod.bin for parameter /KV40K358 : .: Ok");
}

TEST_F(Birom, KV40DownloadGivesUpAfterFiveAttempts) {
  OpenPort();
  EXPECT_FALSE(DownloadModule(session, Module({1, 2, 3})));
  EXPECT_EQ(out.str(),
            "\nDownloading KV40 mod.bin for parameter /KV40K358 : .....\n"
            "BIROM operations error: MCU not reply during executing 'DOWNLOAD' command\n");
  size_t frames = 0;
  for (const Bytes& w : Writes()) frames += w.size() > 1 ? 1 : 0;
  EXPECT_EQ(frames, 5u);
}

TEST_F(Birom, KV40DownloadOptionReadsTwoBytesWhateverCome) {
  settings.downloadOption = true;
  OpenPort();
  ASSERT_TRUE(DownloadModule(session, Module({1})));
  const auto reads = EventsOf(Kind::Read);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].value, 2u);
}

TEST_F(Birom, ModuleFileErrors) {
  OpenPort();
  EXPECT_FALSE(DownloadModule(session, dir.File("none.bin")));
  EXPECT_EQ(out.str(), "\nFile operations error: unable to open boot file\n");
  // An empty DownloadFile value names the series directory itself.
  out.str("");
  EXPECT_FALSE(DownloadModule(session, dir.path() + "\\"));
  EXPECT_EQ(out.str(), "\nFile operations error: unable to open boot file\n");
  EXPECT_EQ(reporter.ExitCode(), 3);
  EXPECT_TRUE(Writes().empty());
}

TEST_F(Birom, KV40ModuleOver65535BytesIsRefused) {
  OpenPort();
  EXPECT_FALSE(DownloadModule(session, Module(Bytes(65536, 0x55))));
  EXPECT_EQ(out.str(), "\nFile operations error: boot file is too big\n");
  EXPECT_TRUE(Writes().empty());
}

TEST_F(Birom, KV41OlderDialectFileHeaderAndData) {
  UseKV41(604);
  settings.loadAddress = 0x01020304;
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(0x01); });
  ASSERT_TRUE(DownloadModule(session, Module({0x10, 0x20, 0x30})));
  const Bytes header = {0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x03, 0x0D};
  const Bytes data = {0x10, 0x20, 0x30, 0x60};
  EXPECT_EQ(Writes(), (std::vector<Bytes>{header, data}));
  EXPECT_EQ(out.str(), "\nDownloading KV41 mod.bin for parameter /KV41K604 :  Ok");
}

TEST_F(Birom, KV41OlderDialectRefusals) {
  UseKV41(604);
  OpenPort();
  EXPECT_FALSE(DownloadModule(session, Module({1, 2})));
  EXPECT_EQ(out.str(), "\nBIROM operations error: MCU not reply during executing 'FILE' command\n");
  out.str("");
  int n = 0;
  port.SetPeer([&n](platform::FakeSerialPort& p, const Bytes&) {
    if (++n == 1) p.QueueInput(0x01);
  });
  EXPECT_FALSE(DownloadModule(session, Module({1, 2})));
  EXPECT_EQ(out.str(), "\nDownloading KV41 mod.bin for parameter /KV41K604 : \n"
                       "BIROM operations error: MCU not reply during executing 'DOWNLOAD' command\n");
  EXPECT_EQ(n, 2);  // one attempt only
}

struct SizeCase {
  int series;
  size_t size;
  bool accepted;
};

class ModuleSizes : public Birom, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ModuleSizes, KV41Limits) {
  UseKV41(GetParam().series);
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(0x01); });
  if (GetParam().series != 604) {
    port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput({0xF1, 0x83, 0, 0}); });
  }
  EXPECT_EQ(DownloadModule(session, Module(Bytes(GetParam().size, 0x77))), GetParam().accepted) << out.str();
  if (!GetParam().accepted) {
    EXPECT_EQ(out.str(), "\nFile operations error: boot file is too big\n");
    EXPECT_TRUE(Writes().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ModuleSizes,
                         ::testing::Values(SizeCase{604, 0, false}, SizeCase{604, 1, true},
                                           SizeCase{604, 12288, true}, SizeCase{604, 12289, false},
                                           SizeCase{725, 0, false}, SizeCase{725, 12288, true},
                                           SizeCase{725, 12289, false}));

TEST_F(Birom, KV41NewerDialectFrame) {
  UseKV41(725);
  settings.loadAddress = 0x123456;
  settings.clockIndex = 1;
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput({0xF1, 0x83, 0x00, 0x00}); });
  ASSERT_TRUE(DownloadModule(session, Module({9, 8, 7, 6})));
  const Bytes frame = {0x01, 0x03, 0x56, 0x34, 0x12, 0x00, 0x04, 0x00, 9, 8, 0, 6};
  EXPECT_EQ(Writes(), std::vector<Bytes>{frame});
  EXPECT_EQ(EventsOf(Kind::Read)[0].value, 4u);
  EXPECT_EQ(out.str(), "\nDownloading KV41 mod.bin for parameter /KV41K725 :  Ok");
}

TEST_F(Birom, KV41NewerDialectRetriesWithMarks) {
  UseKV41(725);
  OpenPort();
  int frames = 0;
  port.SetPeer([&frames](platform::FakeSerialPort& p, const Bytes& w) {
    if (w.size() > 1 && ++frames == 2) p.QueueInput({0xF1, 0x83, 0x00, 0x00});
    if (w.size() > 1 && frames == 1) p.QueueInput({0xF1, 0x83, 0x00});  // three bytes are not enough
  });
  ASSERT_TRUE(DownloadModule(session, Module({1})));
  EXPECT_EQ(out.str(), "\nDownloading KV41 mod.bin for parameter /KV41K725 : . Ok");
}

TEST_F(Birom, KV40Start) {
  OpenPort();
  ASSERT_EQ(StartModule(session), StartResult::Started);
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes({0x40, 0, 0, 0, 0})});
  const auto bauds = EventsOf(Kind::SetBaud);
  ASSERT_EQ(bauds.size(), 1u);
  EXPECT_EQ(bauds[0].value, 19200u);
  EXPECT_EQ(EventsOf(Kind::Read).size(), 1u);
  EXPECT_GT(clock.TickMs() - bauds[0].timeMs, 100u);
}

TEST_F(Birom, KV40StartWithStopAfterStart) {
  settings.stopAfterStart = true;
  OpenPort();
  EXPECT_EQ(StartModule(session), StartResult::StoppedAfterStart);
  EXPECT_FALSE(reporter.Failed());
  EXPECT_EQ(out.str(), "\nStart RAMexecute module Ok");
  EXPECT_TRUE(EventsOf(Kind::Read).empty());
  EXPECT_TRUE(EventsOf(Kind::SetBaud).empty());
}

TEST_F(Birom, KV41OlderStartIgnoresStopAfterStart) {
  UseKV41(604);
  settings.stopAfterStart = true;
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(0x31); });
  ASSERT_EQ(StartModule(session), StartResult::Started);
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes({0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0x40})});
  EXPECT_EQ(EventsOf(Kind::SetBaud).at(0).value, 19200u);
  EXPECT_GT(clock.TickMs() - EventsOf(Kind::SetBaud).at(0).timeMs, 50u);
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes&) { p.QueueInput(0x32); });
  EXPECT_EQ(StartModule(session), StartResult::Failed);
  EXPECT_EQ(out.str(), "\nBIROM operations error: bad reply during executing command 'EXEC'\n");
}

TEST_F(Birom, KV41NewerStartPutsNineBytesOnTheWire) {
  UseKV41(725);
  OpenPort();
  port.SetPeer([](platform::FakeSerialPort& p, const Bytes& w) {
    if (w.size() == 3) p.QueueInput({0xF1, 0x84, 0x31});
  });
  ASSERT_EQ(StartModule(session), StartResult::Started);
  EXPECT_EQ(Writes(), (std::vector<Bytes>{Bytes{0x01, 0x04, 0x00, 0x10, 0x01, 0x00}, Bytes{0x01, 0x04, 0x00}}));
  EXPECT_EQ(EventsOf(Kind::SetBaud).at(0).value, 19200u);
}

struct StartCase {
  Bytes reply;
  bool autoErase;
  bool stop;
  bool ok;
  const char* output;
};

class NewerStart : public Birom, public ::testing::WithParamInterface<StartCase> {};

TEST_P(NewerStart, Replies) {
  UseKV41(725);
  settings.stopAfterStart = GetParam().stop;
  session.autoEraseStart = GetParam().autoErase;
  OpenPort();
  const Bytes reply = GetParam().reply;
  port.SetPeer([reply](platform::FakeSerialPort& p, const Bytes& w) {
    if (w.size() == 3) p.QueueInput(reply);
  });
  const StartResult result = StartModule(session);
  EXPECT_EQ(result == StartResult::Started, GetParam().ok);
  EXPECT_EQ(out.str(), GetParam().output);
  if (GetParam().ok) {
    EXPECT_FALSE(session.autoEraseStart);
  }
  EXPECT_EQ(result == StartResult::StoppedAfterStart,
            GetParam().stop && !GetParam().autoErase && GetParam().reply.size() == 3);
  if (GetParam().autoErase) {
    EXPECT_TRUE(EventsOf(Kind::SetBaud).empty());
  }
}

const char* const kExecError = "\nBIROM operations error: bad reply during executing command 'EXEC'\n";

INSTANTIATE_TEST_SUITE_P(Cases, NewerStart,
                         ::testing::Values(StartCase{{0xF1, 0x84, 0x32}, false, false, false, kExecError},
                                           StartCase{{0xF1, 0x85, 0x31}, false, false, false, kExecError},
                                           StartCase{{0xF1, 0x84}, true, false, false, kExecError},
                                           StartCase{{0xF1, 0x84, 0x00}, true, false, true, ""},
                                           StartCase{{0xF1, 0x84, 0x00}, false, true, false,
                                                     "\nStart RAMexecute module Ok"}));

}  // namespace
}  // namespace serburn
