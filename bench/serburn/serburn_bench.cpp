// Program + verify of a 64 KiB image with the real serburn against kvsim paced at 115200
// baud (KV41K725 at 16 MHz: boot ROM at 38400, module at 115200). Prints the run's wall
// time beside the wire time of every byte both ways (10 bits a byte at the rate it was sent
// at) and their ratio (target: within 3 %), serburn's own CPU time (target: under 5 % of
// wall), and where the time beyond the wire went, from kvsim's event log.
//
//   serburn_bench [--program-ms N]   (board's block programming time, default 0)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/kvsim_bench_report.h"
#include "tests/support/kvsim_harness.h"

namespace {

struct Child {
  int exitCode = -1;
  double wallS = 0;
  double cpuS = 0;
};

Child RunSerburn(const std::string& program, const std::vector<std::string>& args, const std::string& cwd) {
  Child c;
  const auto begin = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    setsid();
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) c.exitCode = WEXITSTATUS(status);
  c.wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  c.cpuS = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  std::string programMs = "0";
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--program-ms") programMs = argv[i + 1];
  }
  const std::string data = kvsim_harness::SourceDataDir();
  kvsim_harness::KvsimOptions o = kvsim_harness::BoardOptions("KV41K725", "16", "kv41");
  o.pace = true;
  o.extraArgs = {"--program-ms", programMs};
  kvsim_harness::KvsimProcess board;
  if (!board.Start(o)) {
    std::fprintf(stderr, "kvsim: %s\n", board.Error().c_str());
    return 1;
  }
  const std::string dir = board.Dir() + "/bench";
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(SERBURN_PATH, dir + "/serburn");
  std::ofstream(dir + "/serburn.cfg") << "KV41=" << data << "/\n";
  std::string image(64 * 1024, '\0');
  std::mt19937 random(7);
  for (char& c : image) c = static_cast<char>(random() & 0xFF);
  std::ofstream(dir + "/image.bin", std::ios::binary) << image;

  const Child run = RunSerburn(dir + "/serburn", {"/L" + board.LinkPath(), "/KV41K725", "/o16", "/t", "/p", "/v", "/b",
                                                  dir + "/image.bin"},
                               dir);
  board.WaitForEvents("read", 128, 2000);

  // The line from kvsim's event log. An rx event is logged when its bytes start to arrive
  // (they follow each other at the line rate, none before the previous one is through); a
  // tx event when its last byte is through. A silent gap on the line before a byte of
  // serburn is serburn's reaction, before a byte of the board the board's turnaround.
  constexpr double kTimedWaitMs = 20;  // serburn's fixed waits (BIROM sync gaps, module start)
  double wireMs = 0, serburnWaitMs = 0, serburnGapMs = 0, boardGapMs = 0;
  double firstStartMs = -1, lastEndMs = -1, rxFreeMs = 0;
  int timedWaits = 0;
  bool lastWasTx = false;
  double moduleStartMs = -1, moduleWireMs = 0;
  size_t bytes = 0;
  const std::vector<std::string> lines = board.EventLines();
  for (const std::string& line : lines) {
    const std::string kind = kvsim_harness::EventField(line, "event");
    if (kind != "rx" && kind != "tx") continue;
    const std::string hex = kvsim_harness::EventField(line, "hex");
    const size_t n = hex.size() / 2;
    const double baud = kvsim_bench::EventNumber(line, kind == "rx" ? "line_baud" : "baud");
    const double t = kvsim_bench::EventNumber(line, "t");
    const double ms = static_cast<double>(n) * 10.0 * 1000.0 / baud;
    double start = t;
    double end = t;
    if (kind == "rx") {
      start = std::max(t, rxFreeMs);
      end = rxFreeMs = start + ms;
      if (moduleStartMs < 0 && (hex == "e8" || hex == "E8")) moduleStartMs = start;
    } else {
      start = t - ms;
    }
    if (firstStartMs < 0) firstStartMs = start;
    if (kind == "tx" && lastWasTx) {
      // kvsim hands a long reply to the pty in groups, each a little late: what counts is
      // how much later the last group is than the first, not the jitter in between.
      boardGapMs += start - lastEndMs;
    } else if (lastEndMs >= 0 && start > lastEndMs) {
      const double gap = start - lastEndMs;
      if (kind == "tx") {
        boardGapMs += gap;
      } else if (gap >= kTimedWaitMs) {
        serburnWaitMs += gap;
        ++timedWaits;
      } else {
        serburnGapMs += gap;
      }
    }
    lastEndMs = kind == "tx" && lastWasTx ? end : std::max(lastEndMs, end);
    lastWasTx = kind == "tx";
    bytes += n;
    wireMs += ms;
    if (moduleStartMs >= 0) moduleWireMs += ms;
  }
  const double wallMs = run.wallS * 1000.0;
  const double lineSpanMs = lastEndMs - firstStartMs;
  const double moduleSpanMs = lastEndMs - moduleStartMs;
  const std::string flash = board.ReadFlashImage();
  const bool equal = flash.compare(0, image.size(), image) == 0;
  std::printf("serburn program+verify, 64 KiB, KV41K725 at 115200 baud (kvsim --pace --program-ms %s)\n",
              programMs.c_str());
  std::printf("  exit code          %d, flash %s\n", run.exitCode, equal ? "equal to the image" : "DIFFERENT");
  std::printf("  bytes on the line  %zu\n", bytes);
  std::printf("  wire time          %9.1f ms  (every byte both ways, 10 bits at the rate it was sent at)\n", wireMs);
  std::printf("  wall time          %9.1f ms  (serburn started to serburn ended)\n", wallMs);
  std::printf("  wall / wire        %9.4f    (%+.2f %%, target within 3 %%)\n", wallMs / wireMs,
              (wallMs / wireMs - 1.0) * 100.0);
  std::printf("  serburn CPU time   %9.1f ms  (%.2f %% of wall, target under 5 %%)\n", run.cpuS * 1000.0,
              100.0 * run.cpuS * 1000.0 / wallMs);
  std::printf("  (wall - timed waits) / wire %.4f  (the waits are the BIROM protocol's own)\n",
              (wallMs - serburnWaitMs) / wireMs);
  std::printf("  beyond the wire:\n");
  std::printf("    serburn's timed waits     %7.1f ms  (%d gaps of %.0f ms or more: BIROM sync, module start)\n",
              serburnWaitMs, timedWaits, kTimedWaitMs);
  std::printf("    serburn's other reactions %7.1f ms\n", serburnGapMs);
  std::printf("    board turnaround          %7.1f ms\n", boardGapMs);
  std::printf("    off the line              %7.1f ms  (process start, port open, before the first byte and "
              "after the last)\n",
              wallMs - lineSpanMs);
  std::printf("  module phase (connect to the last byte): wire %.1f ms, on the line %.1f ms, ratio %.4f\n",
              moduleWireMs, moduleSpanMs, moduleSpanMs / moduleWireMs);
  kvsim_bench::DumpEventsIfAsked("SERBURN_BENCH_EVENTS", lines);
  board.Stop();
  kvsim_bench::PrintFlashImageWrites(board);
  return run.exitCode == 0 && equal ? 0 : 1;
}
