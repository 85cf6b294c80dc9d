// Helpers shared by kvsim's end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/mini_host.h"
#include "tests/support/kvsim_harness.h"

namespace kvsim_test {

inline Bytes Pattern(size_t n, uint32_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>(seed >> 16);
  }
  return b;
}

inline std::string Data(const std::string& name) { return kvsim_harness::SourceDataDir() + "/" + name; }

inline Bytes Slice(const std::string& image, size_t offset, size_t length) {
  if (image.size() < offset + length) return {};
  return Bytes(image.begin() + static_cast<long>(offset), image.begin() + static_cast<long>(offset + length));
}

// OS3F10 (area 0x4000-0xFFFF) at 8 MHz: boot ROM at 9600, control program at 19200.
constexpr uint32_t kOsBase = 0x4000;
constexpr uint32_t kOsBootBaud = 9600;
constexpr uint32_t kOsCommandBaud = 19200;

inline kvsim_harness::KvsimOptions Os3f10(std::vector<std::string> faults = {}) {
  kvsim_harness::KvsimOptions o = kvsim_harness::BoardOptions("OS3F10", "8");
  o.faults = std::move(faults);
  return o;
}

// The frames StartControlProgram sends: sync, load frame, sync, start frame, test connect.
constexpr uint32_t kFramesToStartControlProgram = 5;

// Starts the board, downloads and starts the control program, and checks the test connect.
inline ::testing::AssertionResult StartControlProgram(kvsim_harness::KvsimProcess& board,
                                                      const kvsim_harness::KvsimOptions& options, MiniHost& host) {
  if (!board.Start(options)) return ::testing::AssertionFailure() << board.Error();
  if (!host.Open(board.LinkPath(), kOsBootBaud)) return ::testing::AssertionFailure() << "cannot open the pty";
  const Bytes replies = host.BootRomDownload(WithClockByte(ReadFile(Data("os3f10.ctl")), 1), 0x0400);
  if (replies != Bytes{0x11, 0x01, 0x11, '1'}) return ::testing::AssertionFailure() << "download failed";
  host.SetBaud(kOsCommandBaud);
  host.Send({0xE8});
  if (host.ReceiveByte() != '1') return ::testing::AssertionFailure() << "no answer to the test connect";
  return ::testing::AssertionSuccess();
}

}  // namespace kvsim_test
