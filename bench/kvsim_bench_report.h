// What the benchmarks against kvsim print alike: numbers from its event log, the log itself
// on request, and the cost of its flash image writes.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/kvsim_harness.h"

namespace kvsim_bench {

inline double EventNumber(const std::string& line, const std::string& key) {
  return std::atof(kvsim_harness::EventField(line, key).c_str());
}

// Writes the event log to the file named by the environment variable, when it is set.
inline void DumpEventsIfAsked(const char* variable, const std::vector<std::string>& lines) {
  const char* path = std::getenv(variable);
  if (path == nullptr) return;
  std::ofstream out(path);
  for (const std::string& line : lines) out << line << "\n";
}

// kvsim's writes of the flash image file, from the stop event of a stopped board.
inline void PrintFlashImageWrites(const kvsim_harness::KvsimProcess& board) {
  const std::vector<std::string> stops = board.Events("stop");
  if (stops.empty()) return;
  std::printf("  kvsim's flash image writes: %s, %.3f ms in all, %.3f ms at most\n",
              kvsim_harness::EventField(stops.back(), "flash_saves").c_str(),
              EventNumber(stops.back(), "flash_save_us") / 1000.0,
              EventNumber(stops.back(), "flash_save_max_us") / 1000.0);
}

}  // namespace kvsim_bench
