// Files that must not outlive a run that is interrupted: on SIGINT, SIGTERM or SIGHUP
// (Ctrl-C, kill, a closed terminal) the handler deletes every registered file and then ends
// the process with that same signal, so the exit status is what it would have been.
// Handlers are installed on the first registration, only for signals still at their default
// action (a signal the caller ignores stays ignored).
#pragma once

#include <string>

namespace platform {

// Registers path; returns its slot, or -1 when the path is too long or the table is full
// (the file is then not guarded).
int DeleteOnTermination(const std::string& path);
// Forgets a slot returned by DeleteOnTermination (nothing for -1).
void ForgetOnTermination(int slot);

}  // namespace platform
