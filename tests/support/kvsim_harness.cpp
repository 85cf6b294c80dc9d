#include "tests/support/kvsim_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kvsim_harness {

namespace {

using Clock = std::chrono::steady_clock;

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::string KvsimPath() { return KVSIM_HARNESS_KVSIM_PATH; }
std::string SourceDataDir() { return KVSIM_HARNESS_DATA_DIR; }

KvsimOptions BoardOptions(const std::string& chip, const std::string& clock, const std::string& dialect) {
  KvsimOptions o;
  o.chip = chip;
  o.clock = clock;
  o.dialect = dialect;
  return o;
}

KvsimProcess::KvsimProcess() = default;

KvsimProcess::~KvsimProcess() {
  Stop();
  RemoveDir();
}

void KvsimProcess::RemoveDir() {
  if (dir_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
  dir_.clear();
}

bool KvsimProcess::Start(const KvsimOptions& o) {
  Stop();
  RemoveDir();
  error_.clear();
  devicePath_.clear();
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kvsim-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    error_ = "mkdtemp failed";
    return false;
  }
  dir_ = pattern;
  if (!o.initialFlash.empty() && !WriteBytes(FlashImagePath(), o.initialFlash)) {
    error_ = "cannot write the initial flash image";
    return false;
  }

  std::vector<std::string> args = {KvsimPath(),
                                   "--link", LinkPath(),
                                   "--chipdef", o.chipdef.empty() ? SourceDataDir() + "/CHIPDEF.INI" : o.chipdef,
                                   "--chip", o.chip,
                                   "--clock", o.clock,
                                   "--dialect", o.dialect,
                                   "--flash-image", FlashImagePath(),
                                   "--event-log", EventLogPath()};
  for (const std::string& f : o.faults) {
    args.push_back("--fault");
    args.push_back(f);
  }
  if (o.pace) args.push_back("--pace");
  if (o.controlFifo) {
    args.push_back("--control-file");
    args.push_back(ControlPath());
  }
  if (o.eraseMs >= 0) {
    args.push_back("--erase-ms");
    args.push_back(std::to_string(o.eraseMs));
  }
  args.insert(args.end(), o.extraArgs.begin(), o.extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, StderrPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    pid_ = -1;
    close(out[0]);
    error_ = "cannot start " + KvsimPath();
    return false;
  }

  // The first line is the device path.
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  if (line.find('\n') == std::string::npos) {
    Stop();
    error_ = "kvsim printed no device path: " + ReadBytes(StderrPath());
    return false;
  }
  devicePath_ = line.substr(0, line.find('\n'));
  return true;
}

bool KvsimProcess::SignalAndWait(int signal) {
  if (!Running()) return false;
  const size_t before = Events("reset").size();
  if (kill(pid_, signal) != 0) return false;
  return WaitForEvents("reset", before + 1);
}

bool KvsimProcess::ResetIntoBoot() { return SignalAndWait(SIGUSR1); }
bool KvsimProcess::ResetIntoNormal() { return SignalAndWait(SIGUSR2); }

std::string KvsimProcess::ReadFlashImage() const { return ReadBytes(FlashImagePath()); }

std::vector<std::string> KvsimProcess::EventLines() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadBytes(EventLogPath()));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> KvsimProcess::Events(const std::string& name) const {
  std::vector<std::string> found;
  for (const std::string& line : EventLines()) {
    if (EventField(line, "event") == name) found.push_back(line);
  }
  return found;
}

bool KvsimProcess::WaitForEvents(const std::string& name, size_t count, int timeoutMs) const {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    if (Events(name).size() >= count) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool KvsimProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  pid_ = -1;
  return false;
}

int KvsimProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  pid_t r = 0;
  while ((r = waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (r == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string EventField(const std::string& line, const std::string& key) {
  const std::string needle = "\"" + key + "\":";
  const size_t at = line.find(needle);
  if (at == std::string::npos) return "";
  size_t i = at + needle.size();
  if (i < line.size() && line[i] == '"') {
    std::string value;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value += line[i];
    }
    return value;
  }
  const size_t end = line.find_first_of(",}", i);
  return line.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

}  // namespace kvsim_harness
