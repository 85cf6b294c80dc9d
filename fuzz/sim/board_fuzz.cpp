// Arbitrary bytes on the line, in every dialect, with and without a started program, with
// faults and resets in between: the board must neither crash nor leak, and must keep its
// flash inside its image.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/board.h"
#include "sim/fault_plan.h"
#include "sim/program_image.h"

namespace {

kvsim::ChipConfig Chip() {
  kvsim::ChipConfig chip;
  chip.section = "FUZZ";
  chip.loadAddress = 0x0400;
  chip.areas = {{0x4000, 0x47FF}, {0x5000, 0x53FF}};
  chip.clocks = {"4", "8"};
  chip.bootBauds = {4800, 9600};
  chip.commandBauds = {9600, 19200};
  return chip;
}

// The bytes that load and start a good program in each dialect.
std::vector<uint8_t> StartSequence(kvsim::Dialect d) {
  const std::vector<uint8_t> image = kvsim::BuildProgram(kvsim::ProgramKind::kModule, 0x0400, "fuzz", 32, 1);
  std::vector<uint8_t> out;
  uint8_t sum = 0;
  switch (d) {
    case kvsim::Dialect::kBoot:
    case kvsim::Dialect::kKv40:
      out = {0x18, 0x00, 0x04, 0x00, 0x00, static_cast<uint8_t>(image.size())};
      for (size_t i = 1; i < out.size(); ++i) sum = static_cast<uint8_t>(sum + out[i]);
      for (uint8_t b : image) {
        out.push_back(b);
        sum = static_cast<uint8_t>(sum + b);
      }
      out.push_back(sum);
      out.insert(out.end(), {0x40, 0, 0, 0, 0});
      break;
    case kvsim::Dialect::kKv41Old:
      out = {0x18, 0x00, 0, 0, 0x04, 0x00, 0, 0, 0, static_cast<uint8_t>(image.size())};
      for (size_t i = 1; i < out.size(); ++i) sum = static_cast<uint8_t>(sum + out[i]);
      out.push_back(sum);
      sum = 0;
      for (uint8_t b : image) {
        out.push_back(b);
        sum = static_cast<uint8_t>(sum + b);
      }
      out.push_back(sum);
      out.insert(out.end(), {0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0x40});
      break;
    case kvsim::Dialect::kKv41:
      out = {'V', 0x01, 0x03, 0x00, 0x04, 0x00, 0x00, static_cast<uint8_t>(image.size()), 0x00};
      out.insert(out.end(), image.begin(), image.end());
      out.insert(out.end(), {0x01, 0x04, 0x00, 0x04, 0x00, 0x00, 0x01, 0x04, 0x00});
      break;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  const uint8_t faultPick = data[1];
  data += 2;
  size -= 2;
  kvsim::BoardSettings s;
  s.dialect = static_cast<kvsim::Dialect>(mode & 3);
  s.chip = Chip();
  s.clockIndex = 1;
  s.pace = (mode & 8) != 0;
  s.eraseMs = 3;
  s.programMs = 1;
  kvsim::FlashMemory flash(s.chip.areas);
  kvsim::FaultPlan faults;
  static const char* kFaults[] = {"crc-write=1", "crc-read=1", "write-fail=1", "erase-fail=1", "not-blank=1",
                                  "no-status=erase", "busy=blank", "boot-reply=2:05", "short-read=1:10",
                                  "nul=read:1:2", "reset=write", "noise=1", "reset=erase", "reset=read",
                                  "no-status=exec", "nul=connect"};
  faults.Add(kFaults[faultPick & 15]);
  kvsim::EventLog log;
  kvsim::Board board(s, flash, faults, log);
  double now = 0;
  const uint32_t bootBaud = board.BootBaud();
  if ((mode & 4) != 0) {
    const std::vector<uint8_t> start = StartSequence(s.dialect);
    board.Receive(start.data(), start.size(), bootBaud, now);
    now += 1000;
    board.Process(now);
  }
  // Chunks: a length byte, then that many bytes; 0xFF as length resets the board.
  size_t i = 0;
  kvsim::TxChunk chunk;
  while (i < size) {
    const size_t length = data[i++];
    if (length == 0xFF) {
      board.Reset(kvsim::ResetMode::kBoot, "fuzz", now);
      continue;
    }
    const size_t n = length < size - i ? length : size - i;
    board.Receive(data + i, n, (length & 1) != 0 ? board.ListenBaud() : bootBaud, now);
    i += n;
    now += 5 + static_cast<double>(length);
    board.Process(now);
    while (board.TakeOutput(now, chunk)) {
    }
  }
  board.Process(now + 100000);
  if (flash.Size() != 0x1400) __builtin_trap();
  return 0;
}
