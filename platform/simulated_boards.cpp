#include "platform/simulated_boards.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/paths.h"
#include "platform/replacement_file.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffix = ".board";

// The pid in a name "<pid>.board", 0 when the name has another form.
pid_t PidOfEntry(const std::string& name) {
  const std::string suffix = kSuffix;
  if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return 0;
  const std::string digits = name.substr(0, name.size() - suffix.size());
  if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  return static_cast<pid_t>(std::stol(digits));
}

bool ProcessLives(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

bool ReadEntry(const fs::path& file, SimulatedBoard& board) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("link=", 0) == 0) board.link = line.substr(5);
    if (line.rfind("chip=", 0) == 0) board.chip = line.substr(5);
  }
  return !board.link.empty();
}

}  // namespace

std::string SimulatedBoardsDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return std::string();
  return JoinPath(runtime, "kvflash");
}

std::vector<SimulatedBoard> ListSimulatedBoards(const std::string& dir) {
  std::vector<SimulatedBoard> boards;
  if (dir.empty()) return boards;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const pid_t pid = PidOfEntry(entry.path().filename().string());
    if (pid <= 0) continue;
    if (!ProcessLives(pid)) {
      fs::remove(entry.path(), ec);
      continue;
    }
    SimulatedBoard board;
    board.pid = pid;
    if (ReadEntry(entry.path(), board)) boards.push_back(board);
  }
  std::sort(boards.begin(), boards.end(),
            [](const SimulatedBoard& a, const SimulatedBoard& b) { return a.link < b.link; });
  return boards;
}

bool BoardRegistration::Register(const std::string& dir, const std::string& link, const std::string& chip) {
  Withdraw();
  if (dir.empty()) return false;
  mkdir(dir.c_str(), 0700);
  const std::string path = JoinPath(dir, std::to_string(getpid()) + kSuffix);
  const std::string text = "link=" + link + "\nchip=" + chip + "\n";
  ReplacementFile file;
  if (!file.Create(path) || !file.Write(text.data(), text.size()) || !file.Commit()) return false;
  path_ = path;
  return true;
}

void BoardRegistration::Withdraw() {
  if (path_.empty()) return;
  unlink(path_.c_str());
  path_.clear();
}

}  // namespace platform
