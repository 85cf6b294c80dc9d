// The two switches the GUI programmer answers without opening a window.
#pragma once

#include <string>
#include <vector>

struct CommandOptionsReply {
  bool exitNow = false;  // print text to standard output and end with exitCode
  int exitCode = 0;
  std::string text;
};

// args are the program's arguments after its name. "--help" and "--version" are answered
// here; anything else is left to Qt and the window (exitNow false).
CommandOptionsReply AnswerCommandOptions(const std::vector<std::string>& args);
