#include "serburn/reporter.h"

namespace serburn {

namespace {
constexpr int kMarksPerLine = 64;
constexpr int kMarksPerGroup = 16;
constexpr const char* kInfoTag = "--- INFO  ";
constexpr const char* kErrorTag = "*** ERROR ";
constexpr const char* kContinuation = "         ";
}  // namespace

const char* Reporter::Header(ErrorClass cls) {
  switch (cls) {
    case ErrorClass::Info: return "";
    case ErrorClass::Configuration: return "Error in configuration: ";
    case ErrorClass::ComPort: return "COM-port error: ";
    case ErrorClass::FileOperations: return "File operations error: ";
    case ErrorClass::Birom: return "BIROM operations error: ";
    case ErrorClass::RamExecute: return "RAM-execute operations error: ";
  }
  return "";
}

void Reporter::NewLine(bool error) {
  out_ << '\n';
  out_.flush();
  if (tagged_) out_ << (error ? kErrorTag : kInfoTag);
}

void Reporter::Info(const std::string& text) {
  NewLine(false);
  out_ << text;
  out_.flush();
}

void Reporter::Detail(const std::string& text) {
  if (tagged_) out_ << kInfoTag;
  out_ << text << '\n';
  out_.flush();
}

void Reporter::Append(const std::string& text) {
  out_ << text;
  out_.flush();
}

bool Reporter::Error(ErrorClass cls, const std::string& text) {
  if (failed_ == ErrorClass::Info) failed_ = cls;
  if (muted_) return false;
  NewLine(true);
  out_ << Header(cls) << text << '\n';
  out_.flush();
  return false;
}

void Reporter::Progress(char mark) {
  if (muted_) return;
  if (mark == 'i') {
    marks_ = 0;
    return;
  }
  if (marks_ >= kMarksPerLine) {
    marks_ = 0;
    Info(kContinuation);
  }
  out_ << mark;
  ++marks_;
  if (marks_ < kMarksPerLine && marks_ % kMarksPerGroup == 0) out_ << '|';
  out_.flush();
}

int Reporter::ExitCode() const {
  if (failed_ == ErrorClass::Info) return 0;
  return singleExitCode_ ? 1 : static_cast<int>(failed_);
}

}  // namespace serburn
