// Program + verify of a 64 KiB image with the real serburn against kvsim paced at 115200
// baud (KV41K725 at 16 MHz: boot ROM at 38400, module at 115200). Prints the run's wall
// time beside the wire time of every byte both ways (10 bits a byte at the rate it was sent
// at), serburn's own CPU time, and how the time beyond the wire splits between the board's
// replies and serburn's reactions, from kvsim's event log.
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

double Number(const std::string& line, const char* key) { return std::atof(kvsim_harness::EventField(line, key).c_str()); }

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

  // Wire time, and the silent gaps on the line: before a byte of the board (the board's
  // turnaround and flash time) and before a byte of serburn (its reaction and fixed waits).
  double wireS = 0, serburnGapS = 0, boardGapS = 0, serburnModuleGapS = 0;
  bool moduleRunning = false;
  size_t bytes = 0;
  double lastEndMs = -1;
  for (const std::string& line : board.EventLines()) {
    const std::string kind = kvsim_harness::EventField(line, "event");
    if (kind != "rx" && kind != "tx") continue;
    const size_t n = kvsim_harness::EventField(line, "hex").size() / 2;  // bytes of this event
    const double baud = Number(line, kind == "rx" ? "line_baud" : "baud");
    const double t = Number(line, "t");
    const double wireMs = static_cast<double>(n) * 10.0 * 1000.0 / baud;
    const std::string hex = kvsim_harness::EventField(line, "hex");
    if (kind == "rx" && (hex == "e8" || hex == "E8")) moduleRunning = true;
    if (lastEndMs >= 0 && t > lastEndMs) {
      (kind == "rx" ? serburnGapS : boardGapS) += (t - lastEndMs) / 1000.0;
      if (kind == "rx" && moduleRunning) serburnModuleGapS += (t - lastEndMs) / 1000.0;
    }
    bytes += n;
    wireS += wireMs / 1000.0;
    // kvsim logs a burst of bytes with one time: they follow each other on the line.
    lastEndMs = std::max(t, lastEndMs) + wireMs;
  }
  const std::string flash = board.ReadFlashImage();
  const bool equal = flash.compare(0, image.size(), image) == 0;
  std::printf("serburn program+verify, 64 KiB, KV41K725 at 115200 baud (kvsim --pace --program-ms %s)\n",
              programMs.c_str());
  std::printf("  exit code          %d, flash %s\n", run.exitCode, equal ? "equal to the image" : "DIFFERENT");
  std::printf("  bytes on the line  %zu\n", bytes);
  std::printf("  wall time          %.3f s\n", run.wallS);
  std::printf("  wire time          %.3f s  (wall / wire = %.3f)\n", wireS, run.wallS / wireS);
  std::printf("  serburn CPU time   %.3f s  (%.2f %% of wall)\n", run.cpuS, 100.0 * run.cpuS / run.wallS);
  std::printf("  board gaps         %.3f s  (the board's turnaround and flash time)\n", boardGapS);
  std::printf("  serburn gaps       %.3f s  (serburn's reactions, with the fixed waits of the boot-ROM handshake)\n",
              serburnGapS);
  std::printf("    of which with the module running  %.3f s (256 blocks)\n", serburnModuleGapS);
  std::printf("  rest               %.3f s  (process start, files, port open, closing)\n",
              run.wallS - wireS - boardGapS - serburnGapS);
  board.Stop();
  return run.exitCode == 0 && equal ? 0 : 1;
}
