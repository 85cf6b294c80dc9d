// SerialPortLinux against a real pseudo-terminal pair. Time bounds are checked with wide
// margins: they catch a read that ignores its time-outs, not scheduling jitter.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port_linux.h"
#include "platform/termios2_linux.h"
#include "pty_pair.h"

namespace {

using platform::IoResult;
using platform::SerialPortLinux;
using platform::SerialTimeouts;
using platform_test::PtyPair;

class SerialPortLinuxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Ok());
    ASSERT_TRUE(port_.Open(pty_.SlavePath()));
  }

  // Milliseconds a call takes on the real clock.
  template <typename F>
  uint64_t Measure(F&& f) {
    const uint64_t start = platform::RealClock().TickMs();
    f();
    return platform::RealClock().TickMs() - start;
  }

  PtyPair pty_;
  SerialPortLinux port_;
};

SerialTimeouts Timeouts(uint32_t interval, uint32_t perByte, uint32_t constant) {
  SerialTimeouts t;
  t.readIntervalMs = interval;
  t.readTotalPerByteMs = perByte;
  t.readTotalConstantMs = constant;
  t.writeTotalPerByteMs = perByte;
  t.writeTotalConstantMs = constant;
  return t;
}

TEST_F(SerialPortLinuxTest, AnyRateSetOnThePortIsSeenFromTheOtherSide) {
  // The pseudo-terminal master reports the slave's line settings through TCGETS2.
  for (uint32_t rate : {4430u, 8861u, 62500u, 9600u, 115200u, 1200u}) {
    SCOPED_TRACE(rate);
    ASSERT_TRUE(port_.SetBaudRate(rate));
    EXPECT_EQ(port_.BaudRate(), rate);
    EXPECT_EQ(platform::termios2::GetBaud(pty_.MasterFd()), rate);
  }
}

TEST_F(SerialPortLinuxTest, RateZeroIsRefusedAndTheOldRateKept) {
  ASSERT_TRUE(port_.SetBaudRate(62500));
  EXPECT_FALSE(port_.SetBaudRate(0));
  EXPECT_EQ(port_.BaudRate(), 62500u);
  EXPECT_EQ(platform::termios2::GetBaud(pty_.MasterFd()), 62500u);
}

TEST_F(SerialPortLinuxTest, SecondOpenOfAHeldPortFailsUntilItIsClosed) {
  SerialPortLinux second;
  EXPECT_FALSE(second.Open(pty_.SlavePath()));
  EXPECT_FALSE(second.IsOpen());
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_TRUE(second.Open(pty_.SlavePath()));
  EXPECT_FALSE(port_.Open(pty_.SlavePath()));
}

TEST_F(SerialPortLinuxTest, ReopeningClosesTheOldDeviceFirst) {
  PtyPair other;
  ASSERT_TRUE(other.Ok());
  ASSERT_TRUE(port_.Open(other.SlavePath()));
  // The first device was given back: another port can take it.
  SerialPortLinux second;
  EXPECT_TRUE(second.Open(pty_.SlavePath()));
}

TEST(SerialPortLinuxOpen, MissingDeviceOrNonTerminalIsRefused) {
  SerialPortLinux port;
  EXPECT_FALSE(port.Open("/dev/nonexistent-serial-device"));
  EXPECT_FALSE(port.Open("/dev/null"));
  EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortLinuxOpen, ClosedPortFailsEveryOperation) {
  SerialPortLinux port;
  uint8_t byte = 0;
  EXPECT_FALSE(port.Read(&byte, 1).ok);
  EXPECT_FALSE(port.Write(&byte, 1).ok);
  EXPECT_FALSE(port.SetBaudRate(9600));
  EXPECT_FALSE(port.SetTimeouts(SerialTimeouts{}));
  EXPECT_FALSE(port.Purge(platform::kPurgeInput));
  EXPECT_FALSE(port.Drain());
  EXPECT_FALSE(port.SetDtr(true));
  EXPECT_EQ(port.ClearErrors(), 0u);
}

TEST_F(SerialPortLinuxTest, EveryByteValuePassesUnchangedBothWays) {
  std::vector<uint8_t> all(256);
  std::iota(all.begin(), all.end(), uint8_t{0});
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(500, 10, 2000)));

  const IoResult sent = port_.Write(all.data(), all.size());
  EXPECT_TRUE(sent.ok);
  EXPECT_EQ(sent.count, all.size());
  EXPECT_EQ(pty_.Receive(all.size()), all);

  ASSERT_TRUE(pty_.Send(all));
  std::vector<uint8_t> got(all.size());
  const IoResult read = port_.Read(got.data(), got.size());
  EXPECT_TRUE(read.ok);
  ASSERT_EQ(read.count, all.size());
  EXPECT_EQ(got, all);
}

TEST_F(SerialPortLinuxTest, OneByteReadWithNothingArrivingReturnsEmptyAfterConstantPlusPerByte) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(100, 100, 100)));
  uint8_t byte = 0x55;
  IoResult r;
  const uint64_t elapsed = Measure([&] { r = port_.Read(&byte, 1); });
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(byte, 0x55);
  EXPECT_GE(elapsed, 190u);
  EXPECT_LT(elapsed, 2000u);
}

TEST_F(SerialPortLinuxTest, BlockReadReturnsEarlyAfterSilenceFollowingTheFirstBytes) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(100, 100, 100)));
  const std::vector<uint8_t> sent{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_TRUE(pty_.Send(sent));
  std::vector<uint8_t> got(514);
  IoResult r;
  // The total bound would be 51,500 ms; the inter-byte silence ends the read long before.
  const uint64_t elapsed = Measure([&] { r = port_.Read(got.data(), got.size()); });
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(r.count, sent.size());
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), got.begin()));
  EXPECT_GE(elapsed, 90u);
  EXPECT_LT(elapsed, 5000u);
}

TEST_F(SerialPortLinuxTest, BytesCloserThanTheIntervalKeepTheReadGoing) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(1000, 0, 0)));
  std::thread feeder([this] {
    for (uint8_t b = 1; b <= 5; ++b) {
      pty_.Send({b});
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  std::vector<uint8_t> got(514);
  const IoResult r = port_.Read(got.data(), got.size());
  feeder.join();
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(r.count, 5u);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

TEST_F(SerialPortLinuxTest, TotalBoundEndsAReadWhileBytesKeepComing) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(1000, 0, 300)));
  std::atomic<bool> stop{false};
  std::thread feeder([this, &stop] {
    for (int i = 0; i < 300 && !stop; ++i) {
      pty_.Send({0xA5});
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  std::vector<uint8_t> got(100000);
  IoResult r;
  const uint64_t elapsed = Measure([&] { r = port_.Read(got.data(), got.size()); });
  stop = true;
  feeder.join();
  EXPECT_TRUE(r.ok);
  EXPECT_GT(r.count, 0u);
  EXPECT_LT(r.count, got.size());
  EXPECT_GE(elapsed, 290u);
  EXPECT_LT(elapsed, 2500u);
}

TEST_F(SerialPortLinuxTest, WriteGivesUpAfterItsBoundWhenNobodyReads) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(0, 0, 200)));
  // Far more than a pseudo-terminal buffers while the master end does not read.
  const std::vector<uint8_t> big(8u << 20, 0x5A);
  IoResult r;
  const uint64_t elapsed = Measure([&] { r = port_.Write(big.data(), big.size()); });
  EXPECT_TRUE(r.ok);
  EXPECT_GT(r.count, 0u);
  EXPECT_LT(r.count, big.size());
  EXPECT_GE(elapsed, 190u);
  EXPECT_LT(elapsed, 5000u);
}

TEST_F(SerialPortLinuxTest, PurgeInputDropsWhatHasArrived) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(100, 100, 1000)));
  ASSERT_TRUE(pty_.Send({'a', 'b', 'c'}));
  // Give the bytes time to reach the port's input queue.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(port_.Purge(platform::kPurgeInput | platform::kPurgeOutput));
  ASSERT_TRUE(pty_.Send({'Z'}));
  uint8_t byte = 0;
  const IoResult r = port_.Read(&byte, 1);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(byte, 'Z');
}

TEST_F(SerialPortLinuxTest, DrainReturnsOnceOutputHasLeft) {
  const uint8_t bytes[] = {0x18, 0x56};
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(100, 100, 100)));
  ASSERT_EQ(port_.Write(bytes, sizeof bytes).count, sizeof bytes);
  EXPECT_TRUE(port_.Drain());
  EXPECT_EQ(pty_.Receive(2), (std::vector<uint8_t>{0x18, 0x56}));
}

TEST_F(SerialPortLinuxTest, ModemLinesOnAPseudoTerminalReportFailure) {
  EXPECT_FALSE(port_.SetDtr(true));
  EXPECT_FALSE(port_.SetDtr(false));
  EXPECT_FALSE(port_.SetRts(true));
  EXPECT_FALSE(port_.SetRts(false));
  EXPECT_TRUE(port_.IsOpen());
}

TEST_F(SerialPortLinuxTest, LineErrorsAreNoneWhereTheDriverCountsNone) {
  EXPECT_EQ(port_.ClearErrors(), 0u);
}

TEST_F(SerialPortLinuxTest, ReadFailsWhenTheOtherEndGoesAway) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(100, 100, 1000)));
  pty_.CloseMaster();
  uint8_t byte = 0;
  IoResult r;
  const uint64_t elapsed = Measure([&] { r = port_.Read(&byte, 1); });
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.lost);
  EXPECT_EQ(r.count, 0u);
  EXPECT_LT(elapsed, 1000u);
  const IoResult w = port_.Write(&byte, 1);
  EXPECT_FALSE(w.ok);
  EXPECT_TRUE(w.lost);
}

TEST_F(SerialPortLinuxTest, ATimeOutIsNoLostDevice) {
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(0, 0, 50)));
  uint8_t byte = 0;
  const IoResult r = port_.Read(&byte, 1);
  EXPECT_TRUE(r.ok);
  EXPECT_FALSE(r.lost);
  EXPECT_EQ(r.count, 0u);
}

}  // namespace
