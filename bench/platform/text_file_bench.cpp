// Line reader throughput on a 2.5 MB Intel-Hex text, from disk and from memory.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/text_file.h"

namespace {

std::string HexText() {
  std::string text;
  char line[64];
  for (unsigned address = 0; text.size() < 2500000; address += 16) {
    std::snprintf(line, sizeof line, ":10%04X00%s%02X\r\n", address & 0xFFFFu,
                  "000102030405060708090A0B0C0D0E0F", address & 0xFFu);
    text += line;
  }
  return text;
}

void ReadLinesFromMemory(benchmark::State& state) {
  const std::string text = HexText();
  for (auto _ : state) {
    platform::TextLineReader reader;
    reader.Assign(text);
    std::string_view line;
    size_t n = 0;
    while (reader.NextLine(line)) n += line.size();
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadLinesFromMemory);

void ReadLinesFromFile(benchmark::State& state) {
  char dir[] = "/tmp/kvbench.XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    state.SkipWithError("no temp dir");
    return;
  }
  const std::string path = std::string(dir) + "/big.hex";
  const std::string text = HexText();
  platform::WriteFileAtomically(path, text);
  for (auto _ : state) {
    platform::TextLineReader reader;
    if (!reader.Open(path)) state.SkipWithError("open failed");
    std::string_view line;
    size_t n = 0;
    while (reader.NextLine(line)) n += line.size();
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  unlink(path.c_str());
  rmdir(dir);
}
BENCHMARK(ReadLinesFromFile);

}  // namespace
