// The one message reporter of serburn: information lines, error lines with their class
// header, the tagged machine-readable form (/n), the progress line of single-character
// marks, and the exit code of an error (its class, or 1 for every class with /q).
//
// An error does not end the program here: the reporter records it and the caller returns
// false up to the main flow, which runs the closing sequence and exits with ExitCode().
// A lost port ends the run at once: the failures that follow from it while the callers
// unwind (the read that finds nothing, the reply that never came) are not printed.
#pragma once

#include <ostream>
#include <string>

namespace serburn {

enum class ErrorClass : int {
  Info = 0,
  Configuration = 1,
  ComPort = 2,
  FileOperations = 3,
  Birom = 4,
  RamExecute = 5,
};

class Reporter {
 public:
  explicit Reporter(std::ostream& out) : out_(out) {}

  // Flags of the run settings; both stay off until the command line has been parsed.
  void SetTagged(bool tagged) { tagged_ = tagged; }
  void SetSingleExitCode(bool single) { singleExitCode_ = single; }

  // Starts a new line (with the "--- INFO  " tag when tagged) and writes the text without a
  // line end; what is written next continues the line.
  void Info(const std::string& text);
  // Continues the current line.
  void Append(const std::string& text);
  // A line of detail after an error line (tagged as information): what was tried and why
  // it failed. Scripts that read the error line see it unchanged.
  void Detail(const std::string& text);
  // Starts a new line with the class header and the text and ends it. Returns false so that
  // callers can write `return reporter.Error(...)`. Prints nothing once muted.
  bool Error(ErrorClass cls, const std::string& text);
  // One mark of the progress line: "i" restarts the count; any other mark is written, with
  // a continuation line after 64 marks and a bar after the 16th, 32nd and 48th.
  void Progress(char mark);
  // After an error that ends the run by itself (the port was lost): later errors and marks
  // are not printed.
  void Mute() { muted_ = true; }

  bool Failed() const { return failed_ != ErrorClass::Info; }
  ErrorClass FailedClass() const { return failed_; }
  // Exit code for the recorded error: its class, or 1 with single exit code; 0 without error.
  int ExitCode() const;

  static const char* Header(ErrorClass cls);

 private:
  void NewLine(bool error);

  std::ostream& out_;
  bool tagged_ = false;
  bool singleExitCode_ = false;
  int marks_ = 0;
  bool muted_ = false;
  ErrorClass failed_ = ErrorClass::Info;
};

}  // namespace serburn
