#include "platform/replacement_file.h"

#include "platform/termination_cleanup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace platform {
namespace {

// The file a write should replace: the target of a symbolic link, so the link survives.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  }
  return path;
}

// Opens a new, uniquely named file beside target ("dir/.name.<pid>-<n>.tmp"); -1 on failure.
int CreateTemporaryBeside(const std::string& target, std::string& temp) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) {
    errno = EISDIR;
    return -1;
  }
  // The name is shortened so the temporary one stays within the file-name limit.
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = dir + "." + name.substr(0, 200) + "." + std::to_string(getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

ReplacementFile::~ReplacementFile() { Abandon(); }

bool ReplacementFile::Create(const std::string& path) {
  Abandon();
  error_ = 0;
  target_ = ResolveTarget(path);
  const int fd = CreateTemporaryBeside(target_, temp_);
  if (fd < 0) {
    error_ = errno;
    temp_.clear();
    return false;
  }
  // A replaced file keeps its permission bits; a new one gets 0666 less the umask.
  struct stat st {};
  if (stat(target_.c_str(), &st) == 0 && fchmod(fd, st.st_mode & 07777) != 0) {
    error_ = errno;
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    error_ = errno;
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  cleanupSlot_ = DeleteOnTermination(temp_);
  return true;
}

bool ReplacementFile::Write(const void* data, size_t size) {
  if (file_ == nullptr) return false;
  errno = 0;
  if (std::fwrite(data, 1, size, file_) != size) {
    error_ = errno;
    return false;
  }
  return true;
}

bool ReplacementFile::Commit() {
  if (file_ == nullptr) return false;
  errno = 0;
  if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) return Fail();
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  if (std::fclose(file) != 0 || rename(temp_.c_str(), target_.c_str()) != 0) return Fail();
  temp_.clear();
  ForgetOnTermination(cleanupSlot_);
  cleanupSlot_ = -1;
  return true;
}

bool ReplacementFile::Fail() {
  error_ = errno;
  Abandon();
  return false;
}

void ReplacementFile::Abandon() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
  }
  ForgetOnTermination(cleanupSlot_);
  cleanupSlot_ = -1;
}

}  // namespace platform
