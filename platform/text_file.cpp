#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/replacement_file.h"

namespace platform {
namespace {

constexpr char kCtrlZ = '\x1A';

}  // namespace

bool TextLineReader::Open(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, text)) {
    Assign(std::string());
    return false;
  }
  Assign(std::move(text));
  return true;
}

void TextLineReader::Assign(std::string text) {
  text_ = std::move(text);
  pos_ = 0;
  lineNumber_ = 0;
  const void* ctrlZ = std::memchr(text_.data(), kCtrlZ, text_.size());
  end_ = ctrlZ == nullptr ? text_.size()
                          : static_cast<size_t>(static_cast<const char*>(ctrlZ) - text_.data());
}

bool TextLineReader::NextLine(std::string_view& line) {
  if (pos_ >= end_) return false;
  const char* base = text_.data();
  const void* lf = std::memchr(base + pos_, '\n', end_ - pos_);
  const size_t stop = lf == nullptr ? end_ : static_cast<size_t>(static_cast<const char*>(lf) - base);
  size_t contentEnd = stop;
  // CR LF is a line end; a CR without its LF (also the last byte before the end or Ctrl-Z)
  // is part of the line, so a record that carries it is refused like any other stray byte.
  if (lf != nullptr && contentEnd > pos_ && base[contentEnd - 1] == '\r') --contentEnd;
  line = std::string_view(base + pos_, contentEnd - pos_);
  pos_ = lf == nullptr ? end_ : stop + 1;
  ++lineNumber_;
  return true;
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const std::string& l : lines) total += l.size() + 2;
  std::string contents;
  contents.reserve(total);
  for (const std::string& l : lines) {
    contents += l;
    contents += "\r\n";
  }
  return WriteFileAtomically(path, contents);
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return false;
  }
  // The size is a hint: the loop also reads files that grow or report no size (/proc).
  size_t capacity = st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096;
  contents.resize(capacity);
  size_t used = 0;
  bool ok = true;
  for (;;) {
    if (used == contents.size()) contents.resize(contents.size() * 2);
    const ssize_t n = read(fd, contents.data() + used, contents.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  close(fd);
  contents.resize(ok ? used : 0);
  return ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& contents) {
  ReplacementFile file;
  return file.Create(path) && file.Write(contents.data(), contents.size()) && file.Commit();
}

}  // namespace platform
