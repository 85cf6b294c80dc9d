// kvsim: the simulated board on a pseudo-terminal. See --help.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/simulated_boards.h"
#include "sim/board.h"
#include "sim/chip_config.h"
#include "sim/deadline_timer.h"
#include "sim/event_log.h"
#include "sim/fault_plan.h"
#include "sim/flash_memory.h"
#include "sim/line_model.h"
#include "sim/options.h"
#include "sim/pty_endpoint.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int sig) {
  const int saved = errno;
  const unsigned char b = static_cast<unsigned char>(sig);
  (void)!write(g_signalPipe[1], &b, 1);
  errno = saved;
}

// Bytes due within this time of each other reach the pty together, as from a UART's receive
// FIFO; the last byte before a pause always at its own time.
constexpr double kDeliveryGranuleMs = 1.0;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kvsim: %s\n", message.c_str());
  return 2;
}

// Reads the control FIFO; returns the commands of complete lines.
std::vector<std::string> ReadControlLines(int fd, std::string& partial) {
  std::vector<std::string> lines;
  char buffer[256];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) {
    partial.append(buffer, static_cast<size_t>(n));
  }
  size_t eol;
  while ((eol = partial.find('\n')) != std::string::npos) {
    std::string line = partial.substr(0, eol);
    partial.erase(0, eol + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kvsim;
  Options options;
  const std::string error = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options);
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  if (!error.empty()) return Fail(error);

  BoardSettings settings;
  settings.dialect = options.dialect;
  const std::string chipError = LoadChipConfig(options.chipdef, options.chip, settings.chip);
  if (!chipError.empty()) return Fail(chipError);
  settings.clockIndex = ClockIndexOf(settings.chip, options.clock);
  if (settings.clockIndex < 0) return Fail("chip " + options.chip + " has no clock " + options.clock);
  settings.bootBaud = options.bootBaud;
  settings.commandBaud = options.commandBaud;
  settings.pace = options.pace;
  settings.eraseMs = static_cast<uint32_t>(options.eraseMs >= 0 ? options.eraseMs : options.pace ? 2000 : 0);
  settings.programMs = static_cast<uint32_t>(options.programMs >= 0 ? options.programMs : options.pace ? 6 : 0);
  settings.blankMs = static_cast<uint32_t>(options.blankMs >= 0 ? options.blankMs : options.pace ? 40 : 0);
  settings.frameTimeoutMs = options.frameTimeoutMs;
  settings.flashImagePath = options.flashImage;

  FaultPlan faults;
  for (const std::string& fault : options.faults) {
    const std::string e = faults.Add(fault);
    if (!e.empty()) return Fail(e);
  }

  FlashMemory flash(settings.chip.areas);
  if (platform::FileExists(options.flashImage)) {
    if (!flash.Load(options.flashImage)) {
      return Fail(options.flashImage + " is not a flash image of " + std::to_string(flash.Size()) + " bytes");
    }
  } else if (!flash.Save(options.flashImage)) {
    return Fail("cannot write " + options.flashImage);
  }

  DeadlineTimer timer;
  if (!timer.Open()) return Fail("timerfd_create failed");
  auto NowMs = [&timer] { return timer.NowMs(); };

  EventLog log;
  if (!log.Open(options.eventLog)) return Fail("cannot write " + options.eventLog);
  Board board(settings, flash, faults, log);

  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return Fail("pipe failed");
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  PtyEndpoint pty;
  const std::string ptyError = pty.Open(options.link, board.BootBaud());
  if (!ptyError.empty()) return Fail(ptyError);

  int control = -1;
  if (!options.controlFile.empty()) {
    unlink(options.controlFile.c_str());
    if (mkfifo(options.controlFile.c_str(), 0600) != 0) return Fail("cannot create FIFO " + options.controlFile);
    control = open(options.controlFile.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (control < 0) return Fail("cannot open " + options.controlFile);
  }

  board.Log(NowMs(), "start",
            {JsonField("chip", settings.chip.section), JsonField("dialect", DialectName(settings.dialect)),
             JsonField("device", pty.SlavePath()), JsonField("clock_index", static_cast<uint64_t>(settings.clockIndex)),
             JsonField("boot_baud", board.BootBaud()),
             JsonField("command_baud", settings.commandBaud != 0
                                           ? settings.commandBaud
                                           : settings.chip.commandBauds[static_cast<size_t>(settings.clockIndex)])});
  if (options.startNormal) board.Reset(ResetMode::kNormal, "start", NowMs());

  // Listed beside the real serial ports while it runs (best effort: a board without a
  // runtime directory still serves).
  platform::BoardRegistration registration;
  std::error_code absoluteError;
  registration.Register(platform::SimulatedBoardsDirectory(),
                        std::filesystem::absolute(options.link, absoluteError).string(), options.chip);

  std::printf("%s\n", pty.SlavePath().c_str());
  std::fflush(stdout);

  std::vector<uint8_t> outgoing;  // already logged, waiting for room in the pty
  std::string controlPartial;
  bool plugged = true;  // until an unplug fault closes the pseudo-terminal
  bool running = true;
  while (running) {
    double now = NowMs();
    board.Process(now);
    // A changed flash image is written now, while the reply it goes with is still due.
    board.FlushFlash();
    now = NowMs();
    // Everything due goes out now, and is logged after it is written (the log is not in the
    // line's way): one tx event per run of bytes sent at the same rate.
    struct Run {
      std::vector<uint8_t> bytes;
      uint32_t baud;
    };
    std::vector<Run> runs;
    const uint32_t line = plugged ? pty.LineBaud() : 0;
    TxChunk chunk;
    while (plugged && board.TakeOutput(now, chunk)) {
      if (!RatesMatch(chunk.baud, line)) {
        for (uint8_t& b : chunk.bytes) b = Mangle(b);
      }
      if (runs.empty() || runs.back().baud != chunk.baud) runs.push_back({{}, chunk.baud});
      runs.back().bytes.insert(runs.back().bytes.end(), chunk.bytes.begin(), chunk.bytes.end());
      outgoing.insert(outgoing.end(), chunk.bytes.begin(), chunk.bytes.end());
    }
    if (!outgoing.empty()) {
      const ssize_t n = write(pty.MasterFd(), outgoing.data(), outgoing.size());
      if (n > 0) outgoing.erase(outgoing.begin(), outgoing.begin() + n);
    }
    for (const Run& run : runs) {
      board.Log(now, "tx",
                {JsonHex("hex", run.bytes.data(), run.bytes.size()), JsonField("baud", run.baud),
                 JsonField("line_baud", line), JsonBool("garbage", !RatesMatch(run.baud, line))});
    }
    if (plugged && board.Unplugged()) {
      // The adapter is pulled: the slave hangs up for whoever holds it, and its link goes
      // the way of a vanished device node.
      board.FlushFlash();
      const std::string device = pty.SlavePath();
      pty.Close();
      registration.Withdraw();
      plugged = false;
      outgoing.clear();
      board.Log(now, "unplug", {JsonField("device", device)});
    }

    timer.ArmAt(plugged ? std::min(board.NextDueMs(), board.NextDeliveryMs(kDeliveryGranuleMs))
                        : std::numeric_limits<double>::infinity());
    pollfd fds[4] = {{pty.MasterFd(), static_cast<short>(POLLIN | (outgoing.empty() ? 0 : POLLOUT)), 0},
                     {g_signalPipe[0], POLLIN, 0},
                     {timer.Fd(), POLLIN, 0},
                     {control, POLLIN, 0}};
    const int r = poll(fds, control >= 0 ? 4 : 3, -1);
    if (r < 0 && errno != EINTR) break;
    now = NowMs();
    if (r > 0 && (fds[2].revents & POLLIN) != 0) timer.Acknowledge();
    // Whatever fell due before the new bytes or resets, at its own time.
    board.Process(now);
    if (r > 0 && (fds[1].revents & POLLIN) != 0) {
      unsigned char sig;
      while (read(g_signalPipe[0], &sig, 1) == 1) {
        if (sig == SIGUSR1) board.Reset(ResetMode::kBoot, "signal", now);
        if (sig == SIGUSR2) board.Reset(ResetMode::kNormal, "signal", now);
        if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP) running = false;
      }
    }
    if (r > 0 && control >= 0 && (fds[3].revents & POLLIN) != 0) {
      for (const std::string& command : ReadControlLines(control, controlPartial)) {
        if (command == "boot") board.Reset(ResetMode::kBoot, "control", now);
        else if (command == "normal") board.Reset(ResetMode::kNormal, "control", now);
        else if (command == "quit") running = false;
        else if (!command.empty()) board.Log(now, "ignored", {JsonField("control", command)});
      }
    }
    if (r > 0 && plugged && (fds[0].revents & POLLIN) != 0) {
      uint8_t buffer[4096];
      const ssize_t n = read(pty.MasterFd(), buffer, sizeof buffer);
      if (n > 0) board.Receive(buffer, static_cast<size_t>(n), pty.LineBaud(), now);
    }
  }
  board.FlushFlash();
  const FlashSaveStats& saves = board.SaveStats();
  board.Log(NowMs(), "stop",
            {JsonField("flash_saves", saves.count),
             JsonField("flash_save_us", static_cast<uint64_t>(std::llround(saves.totalMs * 1000.0))),
             JsonField("flash_save_max_us", static_cast<uint64_t>(std::llround(saves.maxMs * 1000.0)))});
  pty.Close();
  if (control >= 0) {
    close(control);
    unlink(options.controlFile.c_str());
  }
  return 0;
}
