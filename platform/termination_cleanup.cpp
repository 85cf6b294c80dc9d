#include "platform/termination_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace platform {
namespace {

constexpr int kSlots = 16;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Plain storage the handler can read without locks or allocation.
struct Slot {
  volatile sig_atomic_t used;
  char path[PATH_MAX];
};
Slot slots[kSlots];
bool installed = false;

void DeleteAndExit(int sig) {
  for (Slot& slot : slots) {
    if (slot.used) unlink(slot.path);
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

void InstallHandlers() {
  if (installed) return;
  installed = true;
  for (int sig : kSignals) {
    struct sigaction current {};
    if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = DeleteAndExit;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}

// Keeps the handler from seeing a slot half written.
class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kSignals) sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;

 private:
  sigset_t old_;
};

}  // namespace

int DeleteOnTermination(const std::string& path) {
  if (path.empty() || path.size() >= PATH_MAX) return -1;
  SignalsBlocked blocked;
  InstallHandlers();
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].used) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].used = 1;
    return i;
  }
  return -1;
}

void ForgetOnTermination(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  SignalsBlocked blocked;
  slots[slot].used = 0;
}

}  // namespace platform
