#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

constexpr char kCtrlZ = '\x1A';

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The file a write should replace: the target of a symbolic link, so the link survives.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  }
  return path;
}

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
  if (contentEnd > pos_ && base[contentEnd - 1] == '\r') --contentEnd;
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
  static std::atomic<unsigned> counter{0};
  const std::string target = ResolveTarget(path);
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir + "." + base.substr(0, 200) + ".tmp" + std::to_string(getpid()) + "." +
           std::to_string(counter.fetch_add(1));
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  // A replaced file keeps its permission bits; a new one gets 0666 less the umask.
  struct stat st {};
  bool ok = true;
  if (stat(target.c_str(), &st) == 0) ok = fchmod(fd, st.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, contents.data(), contents.size());
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace platform
