// Console: text written straight to the controlling terminal, and a test for a waiting key.
#pragma once

#include <string>

namespace platform {

// Writes text to the controlling terminal (/dev/tty) even when standard output is
// redirected; falls back to standard error when there is no terminal.
void WriteToTerminal(const std::string& text);

// True when a keystroke is waiting on the terminal; the key is consumed (a cursor or
// function key with its whole escape sequence). Never blocks:
// false without a controlling terminal and in a background process. The terminal's modes
// are switched only for the test and restored before returning.
bool KeyWaiting();

}  // namespace platform
