// Block round trips through kvsim over a real pseudo-terminal: immediate (the cost the
// simulated board adds to every end-to-end test) and paced (close to the wire time, 10 bits
// a byte: 4+2+514+2 bytes out and back per block).
#include <benchmark/benchmark.h>

#include "tests/sim/mini_host.h"
#include "tests/support/kvsim_harness.h"

namespace {

using kvsim_test::Bytes;
using kvsim_test::MiniHost;

// OS3F80 at 16 MHz: boot ROM 19200, control program 57600.
bool StartBoard(kvsim_harness::KvsimProcess& board, MiniHost& host, bool pace) {
  kvsim_harness::KvsimOptions o = kvsim_harness::BoardOptions("OS3F80", "16");
  o.pace = pace;
  if (!board.Start(o) || !host.Open(board.LinkPath(), 19200)) return false;
  const Bytes image =
      kvsim_test::WithClockByte(kvsim_test::ReadFile(kvsim_harness::SourceDataDir() + "/os3f80.ctl"), 1);
  if (host.BootRomDownload(image, 0x0800) != Bytes{0x11, 0x01, 0x11, '1'}) return false;
  host.SetBaud(57600);
  return true;
}

void WriteBlocks(benchmark::State& state) {
  kvsim_harness::KvsimProcess board;
  MiniHost host;
  if (!StartBoard(board, host, state.range(0) != 0)) {
    state.SkipWithError("kvsim did not start");
    return;
  }
  const Bytes data(512, 0x00);
  uint32_t address = 0xFC0000;
  for (auto _ : state) {
    if (host.WriteBlock(address, data) != Bytes{'0', '1'}) state.SkipWithError("write failed");
    address = address >= 0xFFFE00 ? 0xFC0000 : address + 512;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 512);
}

void ReadBlocks(benchmark::State& state) {
  kvsim_harness::KvsimProcess board;
  MiniHost host;
  if (!StartBoard(board, host, state.range(0) != 0)) {
    state.SkipWithError("kvsim did not start");
    return;
  }
  Bytes frame;
  for (auto _ : state) {
    if (host.ReadBlock(0xFC0000, frame) != Bytes{'0', '1'} || frame.size() != 515) state.SkipWithError("read failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 512);
}

BENCHMARK(WriteBlocks)->Arg(0)->Arg(1)->ArgName("paced")->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBlocks)->Arg(0)->Arg(1)->ArgName("paced")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
