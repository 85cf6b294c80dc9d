// FakeSerialPort: a scripted peer, input that arrives in fake time, reads that move the
// fake clock as far as a real port would have waited, failure injection, the event log.
#include <gtest/gtest.h>

#include <vector>

#include "platform/fake_serial_port.h"

namespace {

using platform::FakeClock;
using platform::FakeSerialPort;
using platform::IoResult;
using platform::SerialTimeouts;
using Kind = FakeSerialPort::Event::Kind;

SerialTimeouts ReadTimeouts(uint32_t interval, uint32_t perByte, uint32_t constant) {
  SerialTimeouts t;
  t.readIntervalMs = interval;
  t.readTotalPerByteMs = perByte;
  t.readTotalConstantMs = constant;
  return t;
}

class FakeSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(port_.Open("/dev/ttyS0")); }

  std::vector<uint8_t> ReadUpTo(size_t count) {
    std::vector<uint8_t> buffer(count);
    const IoResult r = port_.Read(buffer.data(), buffer.size());
    EXPECT_TRUE(r.ok);
    buffer.resize(r.count);
    return buffer;
  }

  FakeClock clock_{1000};
  FakeSerialPort port_{clock_};
};

TEST_F(FakeSerialPortTest, PeerSeesEachWriteAndItsRepliesArriveInFakeTime) {
  std::vector<std::vector<uint8_t>> seen;
  port_.SetPeer([&seen](FakeSerialPort& port, const std::vector<uint8_t>& written) {
    seen.push_back(written);
    if (written == std::vector<uint8_t>{0x18}) port.QueueInput(0x11, 5);
  });
  ASSERT_TRUE(port_.SetTimeouts(ReadTimeouts(100, 100, 100)));
  const uint8_t sync = 0x18;
  const IoResult w = port_.Write(&sync, 1);
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(w.count, 1u);
  EXPECT_EQ(ReadUpTo(1), std::vector<uint8_t>{0x11});
  EXPECT_EQ(clock_.TickMs(), 1005u);

  const uint8_t other[] = {0x56, 0x56};
  port_.Write(other, 2);
  EXPECT_EQ(ReadUpTo(1), std::vector<uint8_t>{});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], (std::vector<uint8_t>{0x56, 0x56}));
}

// One read under given time-outs with input scheduled at given delays (ms after the call).
struct ReadCase {
  const char* name;
  SerialTimeouts timeouts;
  std::vector<uint64_t> arrivals;
  size_t asked;
  size_t expectedCount;
  uint64_t expectedWaitMs;
};

class FakeReadTiming : public ::testing::TestWithParam<ReadCase> {};

TEST_P(FakeReadTiming, ReturnsWhatARealPortWouldAndAdvancesTheClockAsFar) {
  const ReadCase& c = GetParam();
  FakeClock clock(5000);
  FakeSerialPort port(clock);
  ASSERT_TRUE(port.Open("/dev/pts/9"));
  ASSERT_TRUE(port.SetTimeouts(c.timeouts));
  for (size_t i = 0; i < c.arrivals.size(); ++i) port.QueueInput(static_cast<uint8_t>(i + 1), c.arrivals[i]);
  std::vector<uint8_t> buffer(c.asked);
  const IoResult r = port.Read(buffer.data(), buffer.size());
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.count, c.expectedCount);
  for (size_t i = 0; i < r.count; ++i) EXPECT_EQ(buffer[i], i + 1);
  EXPECT_EQ(clock.TickMs() - 5000, c.expectedWaitMs);
  EXPECT_EQ(port.PendingInput(), c.arrivals.size() - r.count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FakeReadTiming,
    ::testing::Values(
        ReadCase{"EmptyOneByteReadWaitsConstantPlusPerByte", ReadTimeouts(100, 100, 100), {}, 1, 0, 200},
        ReadCase{"EmptySevenByteReadSerburnTimeouts", ReadTimeouts(500, 50, 750), {}, 7, 0, 1100},
        ReadCase{"SixtySecondBoundCostsNoRealTime", ReadTimeouts(0, 0, 60000), {}, 1, 0, 60000},
        ReadCase{"BlockReadEndsAfterSilence", ReadTimeouts(100, 100, 100), {0, 10, 20}, 514, 3, 120},
        ReadCase{"ByteWithinTotalIsTaken", ReadTimeouts(100, 100, 100), {150}, 1, 1, 150},
        ReadCase{"ByteAtTheTotalDeadlineIsTooLate", ReadTimeouts(100, 100, 100), {200}, 1, 0, 200},
        ReadCase{"GapEqualToIntervalKeepsReading", ReadTimeouts(100, 0, 0), {0, 100}, 2, 2, 100},
        ReadCase{"GapLongerThanIntervalEndsRead", ReadTimeouts(100, 0, 0), {0, 101}, 2, 1, 100},
        ReadCase{"IntervalWaitsForTheFirstByte", ReadTimeouts(100, 0, 0), {3000, 3050}, 5, 2, 3150},
        ReadCase{"TotalEndsReadWhileBytesKeepComing", ReadTimeouts(100, 0, 50), {0, 20, 40, 60, 80}, 10, 3, 50},
        ReadCase{"FullReadReturnsAtOnce", ReadTimeouts(100, 100, 100), {0, 0, 0, 0}, 4, 4, 0},
        ReadCase{"FullReadReturnsAtLastByte", ReadTimeouts(100, 100, 100), {0, 30, 60}, 3, 3, 60},
        ReadCase{"LargestBoundsDoNotWrap", ReadTimeouts(0, 0xFFFFFFFFu, 0xFFFFFFFFu), {}, 2, 0, 3 * 0xFFFFFFFFull},
        ReadCase{"UnboundedReadTakesAllThatIsQueued", ReadTimeouts(0, 0, 0), {0, 5000}, 3, 2, 5000}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return std::string(p.param.name); });

TEST_F(FakeSerialPortTest, InputKeepsArrivalOrder) {
  port_.QueueInput({1, 2}, 50);
  port_.QueueInput(3, 10);  // cannot overtake bytes already on the line
  ASSERT_TRUE(port_.SetTimeouts(ReadTimeouts(0, 0, 1000)));
  EXPECT_EQ(ReadUpTo(3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(clock_.TickMs(), 1050u);
}

TEST_F(FakeSerialPortTest, PurgeDropsArrivedInputAndKeepsBytesStillOnTheirWay) {
  port_.QueueInput({1, 2, 3}, 0);
  port_.QueueInput(4, 30);
  EXPECT_TRUE(port_.Purge(platform::kPurgeInput));
  EXPECT_EQ(port_.PendingInput(), 1u);
  ASSERT_TRUE(port_.SetTimeouts(ReadTimeouts(100, 100, 100)));
  EXPECT_EQ(ReadUpTo(4), std::vector<uint8_t>{4});
}

TEST_F(FakeSerialPortTest, PurgeOutputOnlyKeepsInput) {
  port_.QueueInput(7, 0);
  EXPECT_TRUE(port_.Purge(platform::kPurgeOutput));
  EXPECT_EQ(port_.PendingInput(), 1u);
}

TEST_F(FakeSerialPortTest, EveryOperationIsRecordedWithItsTime) {
  port_.ClearEvents();
  ASSERT_TRUE(port_.SetBaudRate(62500));
  ASSERT_TRUE(port_.SetTimeouts(ReadTimeouts(100, 100, 100)));
  ASSERT_TRUE(port_.SetDtr(true));
  clock_.SleepMs(100);
  ASSERT_TRUE(port_.SetDtr(false));
  ASSERT_TRUE(port_.SetRts(true));
  const uint8_t bytes[] = {0x56, 0x46};
  port_.Write(bytes, 2);
  port_.QueueInput(0x11, 0);
  ReadUpTo(2);
  ASSERT_TRUE(port_.Purge(platform::kPurgeInput | platform::kPurgeOutput));
  ASSERT_TRUE(port_.Drain());
  port_.SetLineErrors(platform::kLineFrameError);
  EXPECT_EQ(port_.ClearErrors(), uint32_t{platform::kLineFrameError});
  port_.Close();

  struct Expected {
    Kind kind;
    uint64_t timeMs;
    uint32_t value;
    std::vector<uint8_t> data;
  };
  const std::vector<Expected> expected{
      {Kind::SetBaud, 1000, 62500, {}},
      {Kind::SetTimeouts, 1000, 0, {}},
      {Kind::Dtr, 1000, 1, {}},
      {Kind::Dtr, 1100, 0, {}},
      {Kind::Rts, 1100, 1, {}},
      {Kind::Write, 1100, 0, {0x56, 0x46}},
      {Kind::Read, 1200, 2, {0x11}},  // one byte came, then 100 ms of silence
      {Kind::Purge, 1200, platform::kPurgeInput | platform::kPurgeOutput, {}},
      {Kind::Drain, 1200, 0, {}},
      {Kind::ClearErrors, 1200, platform::kLineFrameError, {}},
      {Kind::Close, 1200, 0, {}},
  };
  const auto& events = port_.Events();
  ASSERT_EQ(events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].kind, expected[i].kind);
    EXPECT_EQ(events[i].timeMs, expected[i].timeMs);
    EXPECT_EQ(events[i].value, expected[i].value);
    EXPECT_EQ(events[i].data, expected[i].data);
    EXPECT_TRUE(events[i].ok);
  }
  EXPECT_EQ(port_.Written(), (std::vector<uint8_t>{0x56, 0x46}));
  EXPECT_TRUE(port_.Rts());
  EXPECT_FALSE(port_.Dtr());
}

TEST_F(FakeSerialPortTest, OpeningAgainClosesFirstAndRecordsThePath) {
  port_.ClearEvents();
  ASSERT_TRUE(port_.Open("/dev/ttyUSB0"));
  const auto& events = port_.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Kind::Close);
  EXPECT_EQ(events[1].kind, Kind::Open);
  EXPECT_EQ(events[1].path, "/dev/ttyUSB0");
  EXPECT_EQ(port_.OpenedPath(), "/dev/ttyUSB0");
}

TEST_F(FakeSerialPortTest, LineErrorsAreReportedOnceAndAccumulate) {
  EXPECT_EQ(port_.ClearErrors(), 0u);
  port_.SetLineErrors(platform::kLineOverrun);
  port_.SetLineErrors(platform::kLineBreak);
  EXPECT_EQ(port_.ClearErrors(), uint32_t{platform::kLineOverrun | platform::kLineBreak});
  EXPECT_EQ(port_.ClearErrors(), 0u);
}

// Each injected failure makes exactly its own operation fail, recorded as failed.
struct FailureCase {
  const char* name;
  void (*inject)(FakeSerialPort&);
  Kind kind;
};

bool RunOperation(FakeSerialPort& port, Kind kind) {
  uint8_t byte = 0x18;
  switch (kind) {
    case Kind::Open: return port.Open("/dev/ttyS1");
    case Kind::SetBaud: return port.SetBaudRate(9600);
    case Kind::SetTimeouts: return port.SetTimeouts(ReadTimeouts(1, 1, 1));
    case Kind::Read: return port.Read(&byte, 1).ok;
    case Kind::Write: return port.Write(&byte, 1).ok;
    case Kind::Dtr: return port.SetDtr(true);
    case Kind::Rts: return port.SetRts(true);
    default: return false;
  }
}

class FakeFailureInjection : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FakeFailureInjection, OnlyTheInjectedOperationFails) {
  const FailureCase& c = GetParam();
  const std::vector<Kind> all{Kind::SetBaud, Kind::SetTimeouts, Kind::Read, Kind::Write, Kind::Dtr, Kind::Rts, Kind::Open};
  FakeClock clock;
  FakeSerialPort port(clock);
  ASSERT_TRUE(port.Open("/dev/ttyS0"));
  c.inject(port);
  for (Kind k : all) {
    SCOPED_TRACE(static_cast<int>(k));
    port.ClearEvents();
    const bool ok = RunOperation(port, k);
    EXPECT_EQ(ok, k != c.kind);
    ASSERT_FALSE(port.Events().empty());
    EXPECT_EQ(port.Events().back().kind, k);
    EXPECT_EQ(port.Events().back().ok, ok);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FakeFailureInjection,
    ::testing::Values(FailureCase{"Baud", [](FakeSerialPort& p) { p.SetBaudFails(true); }, Kind::SetBaud},
                      FailureCase{"Timeouts", [](FakeSerialPort& p) { p.SetTimeoutsFail(true); }, Kind::SetTimeouts},
                      FailureCase{"Read", [](FakeSerialPort& p) { p.SetReadFails(true); }, Kind::Read},
                      FailureCase{"Write", [](FakeSerialPort& p) { p.SetWriteFails(true); }, Kind::Write},
                      FailureCase{"Open", [](FakeSerialPort& p) { p.SetOpenFails(true); }, Kind::Open}),
    [](const ::testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

TEST_F(FakeSerialPortTest, WithoutModemLinesDtrAndRtsFailAndKeepTheirState) {
  port_.SetHasModemLines(false);
  EXPECT_FALSE(port_.SetDtr(true));
  EXPECT_FALSE(port_.SetRts(true));
  EXPECT_FALSE(port_.Dtr());
  EXPECT_FALSE(port_.Rts());
  EXPECT_FALSE(port_.Events().back().ok);
}

TEST_F(FakeSerialPortTest, FailedWritesReachNeitherPeerNorWrittenBytes) {
  int peerCalls = 0;
  port_.SetPeer([&peerCalls](FakeSerialPort&, const std::vector<uint8_t>&) { ++peerCalls; });
  port_.SetWriteFails(true);
  const uint8_t byte = 1;
  const IoResult r = port_.Write(&byte, 1);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(peerCalls, 0);
  EXPECT_TRUE(port_.Written().empty());
}

TEST(FakeSerialPortClosed, EveryOperationFailsWithoutMovingTheClock) {
  FakeClock clock(42);
  FakeSerialPort port(clock);
  uint8_t byte = 0;
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.Read(&byte, 1).ok);
  EXPECT_FALSE(port.Write(&byte, 1).ok);
  EXPECT_FALSE(port.SetBaudRate(9600));
  EXPECT_FALSE(port.Purge(platform::kPurgeInput));
  EXPECT_FALSE(port.Drain());
  EXPECT_FALSE(port.SetDtr(true));
  EXPECT_EQ(port.ClearErrors(), 0u);
  EXPECT_EQ(clock.TickMs(), 42u);
  for (const auto& e : port.Events()) EXPECT_FALSE(e.ok);
  port.Close();  // closing a closed port does nothing
  EXPECT_NE(port.Events().back().kind, Kind::Close);
}

}  // namespace
