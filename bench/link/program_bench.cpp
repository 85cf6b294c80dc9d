// Program & Verify of a 64 KiB image against kvsim paced at 115200 baud. Prints the program
// phase's wall time, taken from kvsim's event log (first byte of the first write command
// received to the last block's final status sent), beside its wire time (every byte both
// ways x 10 bits / baud) and their ratio (target: within 3 %), split into the link's
// turnaround and the board's own delay.
// The board's own programming time is set to 0 so that only the link and the line count.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "flash/chipdef/chip_database.h"
#include "flash/link/flash_link.h"
#include "flash/link/messages.h"
#include "platform/clock.h"
#include "platform/serial_port_linux.h"
#include "bench/kvsim_bench_report.h"
#include "tests/support/kvsim_harness.h"

namespace {

constexpr uint32_t kBaud = 115200;
constexpr uint32_t kStart = 0x10000;
constexpr uint32_t kSize = 0x10000;

// The user of a benchmark: presses the board's reset at the prompt, answers nothing else.
class SilentProgress final : public flash::ProgressWindow {
 public:
  void SetForm(int, bool, const std::optional<std::string>&) override {}
  void SetInfoText(const std::string& text) override { last = text; }
  void SetTitle(const std::string&) override {}
  void SetIcon(flash::MessageIcon) override {}
  void SetButtonCaption(const std::string&) override {}
  void InitBar(int, int, int, int) override {}
  void SetRange(int, int) override {}
  void SetStep(int) override {}
  int SetPos(int) override { return 0; }
  int StepIt() override { return 0; }
  int GetPos() override { return 0; }
  bool IsCancelled() override { return false; }
  void WaitForButton() override {}
  static inline std::string last;
};

class BenchUi final : public flash::UserInterface {
 public:
  explicit BenchUi(kvsim_harness::KvsimProcess& board) : board_(board) {}
  std::unique_ptr<flash::ProgressWindow> CreateProgressWindow() override { return std::make_unique<SilentProgress>(); }
  void ShowMessageBox(const std::string& text, const std::string&, flash::MessageIcon, flash::BoxOwner) override {
    std::fprintf(stderr, "box: %s\n", text.c_str());
  }
  bool AskResetTarget(const std::string&, const std::string&) override { return board_.ResetIntoBoot(); }
  bool AskCrcRetry(const std::string&, const std::string&) override { return false; }
  std::optional<std::string> AskSaveFileName(const flash::SaveFileRequest&) override { return std::nullopt; }
  void Beep() override {}
  void PlayWaveFile(const std::string&) override {}
  void ShowDownloadState(bool) override {}
  void FocusChipList() override {}
  void PumpEvents() override {}

 private:
  kvsim_harness::KvsimProcess& board_;
};

}  // namespace

int main() {
  namespace fs = std::filesystem;
  flash::SetLanguage(flash::Language::kEnglish);
  const std::string data = kvsim_harness::SourceDataDir();
  const fs::path dir = fs::temp_directory_path() / ("linkbench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::copy_file(fs::path(data) / "os3f10.ctl", dir / "os3f10.ctl");
  {
    std::ofstream chipdef(dir / "CHIPDEF.INI", std::ios::binary);
    chipdef << "[BENCH64]\r\nDownloadFile=os3f10.ctl\r\nLoadAddress=0x0400\r\nStartAddress=0x010000\r\n"
               "EndAddress=0x01FFFF\r\nFlashSize=65536\r\nClock=16\r\nBaud=57600\r\nBaud2=115200\r\n";
  }
  // 64 KiB of data with no blank block: every block goes over the line.
  std::vector<uint8_t> image(kSize);
  std::mt19937 random(7);
  for (uint8_t& b : image) b = static_cast<uint8_t>(random() % 255);
  {
    std::ofstream hex(dir / "image.mhx", std::ios::binary);
    char line[64];
    for (uint32_t off = 0; off < kSize; off += 16) {
      const uint32_t a = kStart + off;
      unsigned sum = 0x14 + (a >> 16 & 0xFF) + (a >> 8 & 0xFF) + (a & 0xFF);
      int n = std::snprintf(line, sizeof line, "S214%06X", a);
      for (uint32_t k = 0; k < 16; ++k) {
        sum += image[off + k];
        n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", image[off + k]);
      }
      std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X\r\n", ~sum & 0xFF);
      hex << line;
    }
    hex << "S804000000FB\r\n";
  }

  kvsim_harness::KvsimProcess board;
  kvsim_harness::KvsimOptions o;
  o.chipdef = (dir / "CHIPDEF.INI").string();
  o.chip = "BENCH64";
  o.clock = "16";
  o.pace = true;
  o.extraArgs = {"--program-ms", "0"};
  if (!board.Start(o)) {
    std::fprintf(stderr, "kvsim: %s\n", board.Error().c_str());
    return 1;
  }
  setenv("KVPORT_COM5", board.LinkPath().c_str(), 1);

  platform::SerialPortLinux port(platform::RealClock());
  BenchUi ui(board);
  flash::FlashLink link(port, platform::RealClock(), ui);
  flash::LinkSettings& s = link.Settings();
  s.programDirectory = dir.string() + "/";
  s.chipDefPath = (dir / "CHIPDEF.INI").string();
  s.portNumber = 4;
  s.clockIndex = 0;
  s.hexFilePath = (dir / "image.mhx").string();
  if (!flash::LoadChipRecord(s.chipDefPath, "BENCH64", s.chip)) return 1;

  link.RunDownload();
  if (!link.Downloaded()) {
    std::fprintf(stderr, "download failed: %s\n", SilentProgress::last.c_str());
    return 1;
  }
  const auto started = std::chrono::steady_clock::now();
  link.RunProgramAndVerify();
  const double commandMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  if (SilentProgress::last != "The Programming ended normally") {
    std::fprintf(stderr, "program failed: %s\n", SilentProgress::last.c_str());
    return 1;
  }
  const std::string flash = board.ReadFlashImage();
  const bool equal = flash.size() == image.size() && std::equal(image.begin(), image.end(),
                                                                reinterpret_cast<const uint8_t*>(flash.data()));

  // The program phase in kvsim's log: from the first write command's first byte to the last
  // transmission, counting every byte in both directions.
  const std::vector<std::string> lines = board.EventLines();
  double first = -1;
  double last = 0;
  size_t bytes = 0;
  bool inPhase = false;
  size_t writes = 0;
  // Time the board spent waiting for the PC: from each of its transmissions to the PC's next
  // bytes. What remains above the wire time is the board's own (simulated) delay.
  double turnaroundMs = 0;
  double lastTx = -1;
  for (const std::string& line : lines) {
    const std::string event = kvsim_harness::EventField(line, "event");
    if (!inPhase) {
      if (event == "rx" && kvsim_harness::EventField(line, "hex").rfind("08", 0) == 0 &&
          kvsim_harness::EventField(line, "board_baud") == std::to_string(kBaud)) {
        inPhase = true;
        first = kvsim_bench::EventNumber(line, "t");
      } else {
        continue;
      }
    }
    if (event == "rx" || event == "tx") {
      bytes += kvsim_harness::EventField(line, "hex").size() / 2;
      if (event == "tx") {
        last = kvsim_bench::EventNumber(line, "t");
        lastTx = last;
      } else if (lastTx >= 0) {
        turnaroundMs += kvsim_bench::EventNumber(line, "t") - lastTx;
        lastTx = -1;
      }
    }
    if (event == "write") ++writes;
  }
  const double wallMs = last - first;
  const double wireMs = static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud;
  std::printf("program & verify, 64 KiB, %zu blocks written, flash %s\n", writes, equal ? "equals image" : "DIFFERS");
  std::printf("  bytes on the line (both ways): %zu\n", bytes);
  std::printf("  wire time  : %9.1f ms (bytes x 10 / %u)\n", wireMs, kBaud);
  std::printf("  wall time  : %9.1f ms (kvsim event log)\n", wallMs);
  std::printf("  wall / wire: %9.4f   (%+.2f %%, target within 3 %%)\n", wallMs / wireMs,
              (wallMs / wireMs - 1.0) * 100.0);
  std::printf("  PC turnaround (board waiting for the link): %.1f ms = %.2f %% of the wire time\n", turnaroundMs,
              turnaroundMs / wireMs * 100.0);
  std::printf("  board's own delay beyond the wire: %.1f ms\n", wallMs - wireMs - turnaroundMs);
  std::printf("  whole command (hex load, port, progress): %.1f ms\n", commandMs);
  kvsim_bench::DumpEventsIfAsked("LINKBENCH_EVENTS", lines);
  board.Stop();
  kvsim_bench::PrintFlashImageWrites(board);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return equal ? 0 : 1;
}
