// CFlashApp: the application object. It makes the main window, runs it until it closes and ends
// the program when the window closes or cannot start.
#pragma once

#include <string>

class CFlashApp {
 public:
  // Returns the exit code: 0 after the window was closed, 1 when start-up failed.
  int InitInstance(const std::string& programDirectory, const std::string& executablePath);
};
