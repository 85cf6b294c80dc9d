// Shared set-up of the link's tests against kvsim, the simulated board, over a real
// pseudo-terminal: a program directory with CHIPDEF.INI (the sample chips and two small
// ones) and the control programs, the board, the link on COM3 (KVPORT_COM3 points at the
// board), and the scripted user, who presses the board's reset button at the reset prompt.
// The link's port and clock pass through to the real ones unless a test fast-forwards.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "flash/link/flash_link.h"
#include "platform/serial_port_linux.h"
#include "tests/link/link_fixture.h"
#include "tests/link/scripted_ui.h"
#include "tests/link/silence_fast_forward.h"
#include "tests/support/kvsim_harness.h"

namespace flash::testing {

// TWOAREA has two areas of whole blocks with a gap between them; PARTIAL ends its second
// area two bytes into its last block. Both start at kBase.
constexpr uint32_t kBase = 0x4000;
constexpr size_t kTwoAreaSize = 0x5C00 - 0x4000;
constexpr size_t kPartialSize = 0x5A02 - 0x4000;

class KvsimLinkFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the board and points the link at it, with the chip's record and clock index.
  void StartBoard(const std::string& chip, const std::string& clock, std::vector<std::string> faults = {},
                  const std::string& initialFlash = "", std::vector<std::string> extra = {});
  // Writes image (bytes from kBase) as an S-format file in the program directory.
  std::string HexFile(const std::string& name, const std::vector<uint8_t>& image, uint32_t base);
  // An image of TWOAREA (or PARTIAL, size bytes): data in block 1 of area 1 and in the first
  // and last block of area 2, blank elsewhere.
  std::vector<uint8_t> Image(size_t size = kTwoAreaSize);
  void ExpectFlashEquals(const std::vector<uint8_t>& image);
  // Downloads the control program and forgets what the user saw.
  void Download();

  TempDir dir;
  kvsim_harness::KvsimProcess board;
  platform::SerialPortLinux device{platform::RealClock()};
  FastForwardClock linkClock;
  SilenceFastForwardPort port{device, linkClock};
  ScriptedUi ui;
  FlashLink link{port, linkClock, ui};
};

}  // namespace flash::testing
