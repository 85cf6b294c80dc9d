// The register of running simulated boards: each board keeps one small file, <pid>.board,
// in the user's runtime directory ($XDG_RUNTIME_DIR/kvflash/) for as long as it runs, so the
// programmers can list it beside the real serial ports. The file holds "link=<path>" and
// "chip=<name>" lines. A board that died without removing its file is forgotten (and its
// file removed) by the next listing.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

// $XDG_RUNTIME_DIR/kvflash, or "" when XDG_RUNTIME_DIR is unset or empty (no register).
std::string SimulatedBoardsDirectory();

struct SimulatedBoard {
  pid_t pid = 0;
  std::string link;  // the path a programmer opens
  std::string chip;
};

// The boards of living processes in dir, by link path. Files of dead processes are removed.
std::vector<SimulatedBoard> ListSimulatedBoards(const std::string& dir);

// This process's entry in the register, removed again by Withdraw or the destructor.
class BoardRegistration {
 public:
  BoardRegistration() = default;
  ~BoardRegistration() { Withdraw(); }
  BoardRegistration(const BoardRegistration&) = delete;
  BoardRegistration& operator=(const BoardRegistration&) = delete;

  // Creates dir (mode 0700) when needed and writes the entry in one step. False when
  // dir is empty or the file cannot be written.
  bool Register(const std::string& dir, const std::string& link, const std::string& chip);
  void Withdraw();

 private:
  std::string path_;
};

}  // namespace platform
