// Text files as the programs expect them: lines end in CR LF or LF (a CR without an LF after
// it stays in the line, also at the end of the file), and a Ctrl-Z byte (0x1A) ends the
// file. Written files end their lines with CR LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Reads a whole file into memory and hands out its lines as views into that memory.
class TextLineReader {
 public:
  // Returns true when the file was read.
  bool Open(const std::string& path);
  // Takes a text already in memory (tests, fuzzing).
  void Assign(std::string text);
  // Next line without its line end; false at the end of the file (or at Ctrl-Z).
  bool NextLine(std::string_view& line);
  // 1-based number of the line last returned.
  size_t LineNumber() const { return lineNumber_; }
  // Starts again at the first line, as after Open (line number 0).
  void Rewind() {
    pos_ = 0;
    lineNumber_ = 0;
  }

 private:
  std::string text_;
  size_t pos_ = 0;
  size_t end_ = 0;
  size_t lineNumber_ = 0;
};

// Writes lines ending in CR LF. Returns true on success.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

// Reads a whole file as bytes. Returns true on success.
bool ReadWholeFile(const std::string& path, std::string& contents);

// Writes contents to path through a temporary file in the same directory and a rename, so
// the file is either the old one or the new one, never half written. True on success.
bool WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace platform
