#include "flash/output/read_out_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "flash/output/record_format.h"

namespace flash {
namespace {

constexpr uint64_t kRecordBytes = 16;
constexpr uint64_t kPageBytes = 0x10000;

ReadOutStatus StatusFromErrno(int error) {
  return error == ENOSPC || error == EDQUOT ? ReadOutStatus::kDiskFull
                                            : ReadOutStatus::kWriteFailed;
}

// The file a read-out replaces: the target of a symbolic link, so the link survives.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  }
  return path;
}

// An existing file of that name must be a regular file we may write, as if it were opened
// for writing.
bool MayReplace(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode) && access(path.c_str(), W_OK) == 0;
}

// Opens a new, uniquely named file beside path ("dir/.name.<pid>-<n>.tmp").
int CreateTemporaryBeside(const std::string& path, std::string& tempPath) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath =
        dir + "." + name + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

const char* ReadOutStatusText(ReadOutStatus status) {
  switch (status) {
    case ReadOutStatus::kOk: return "";
    case ReadOutStatus::kOpenFailed: return kOpenFileErrorText;
    case ReadOutStatus::kDiskFull: return kDiskFullErrorText;
    case ReadOutStatus::kWriteFailed: return kWriteFileErrorText;
  }
  return kWriteFileErrorText;
}

ReadOutWriter::~ReadOutWriter() { Abandon(); }

ReadOutStatus ReadOutWriter::Create(const std::string& path) {
  Abandon();
  path_ = ResolveTarget(path);
  if (!MayReplace(path_)) return ReadOutStatus::kOpenFailed;
  const int fd = CreateTemporaryBeside(path_, tempPath_);
  if (fd < 0) {
    tempPath_.clear();
    return ReadOutStatus::kOpenFailed;
  }
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    close(fd);
    unlink(tempPath_.c_str());
    tempPath_.clear();
    return ReadOutStatus::kOpenFailed;
  }
  return ReadOutStatus::kOk;
}

ReadOutStatus ReadOutWriter::WriteHeader() {
  if (format_ != ReadOutFormat::kSFormat)
    return file_ ? ReadOutStatus::kOk : ReadOutStatus::kWriteFailed;
  char line[kRecordLineBufferSize];
  const size_t length = FormatSRecord(line, kWriterTag, 0, kSRecordHeader);
  return WriteLine(line, length);
}

ReadOutStatus ReadOutWriter::BeginArea(uint32_t start, uint32_t end) {
  areaStart_ = start;
  areaLimit_ = static_cast<uint64_t>(end) + 1;
  areaHasData_ = false;
  if (format_ != ReadOutFormat::kIntelHex)
    return file_ ? ReadOutStatus::kOk : ReadOutStatus::kWriteFailed;
  char line[kRecordLineBufferSize];
  const size_t length = FormatIntelLinearAddressRecord(line, start);
  return WriteLine(line, length);
}

ReadOutStatus ReadOutWriter::WriteBlock(uint32_t address, std::span<const uint8_t> bytes) {
  uint64_t current = address;
  const uint64_t limit = std::min<uint64_t>(areaLimit_, current + bytes.size());
  while (current < limit) {
    // Records are cut at multiples of 16 bytes from the area's start.
    const uint64_t fromStart = current >= areaStart_ ? current - areaStart_ : 0;
    const uint64_t toGrid = kRecordBytes - fromStart % kRecordBytes;
    const uint64_t n = std::min(toGrid, limit - current);
    const auto chunk =
        bytes.subspan(static_cast<size_t>(current - address), static_cast<size_t>(n));
    const ReadOutStatus status = WriteDataRecord(chunk, static_cast<uint32_t>(current));
    if (status != ReadOutStatus::kOk) return status;
    current += n;
  }
  return file_ ? ReadOutStatus::kOk : ReadOutStatus::kWriteFailed;
}

ReadOutStatus ReadOutWriter::WriteDataRecord(std::span<const uint8_t> data, uint32_t address) {
  char line[kRecordLineBufferSize];
  if (format_ == ReadOutFormat::kSFormat) {
    return WriteLine(line, FormatSRecord(line, data, address, kSRecordData24));
  }
  uint64_t current = address;
  while (!data.empty()) {
    if ((current & 0xFFFF) == 0 && areaHasData_) {
      const ReadOutStatus status =
          WriteLine(line, FormatIntelLinearAddressRecord(line, static_cast<uint32_t>(current)));
      if (status != ReadOutStatus::kOk) return status;
    }
    // A record ends at the next 64 KiB boundary, so its 16-bit offset never wraps.
    const uint64_t room = kPageBytes - (current & 0xFFFF);
    const size_t n = static_cast<size_t>(std::min<uint64_t>(room, data.size()));
    const ReadOutStatus status =
        WriteLine(line, FormatIntelDataRecord(line, data.first(n), static_cast<uint32_t>(current)));
    if (status != ReadOutStatus::kOk) return status;
    areaHasData_ = true;
    data = data.subspan(n);
    current += n;
  }
  return ReadOutStatus::kOk;
}

ReadOutStatus ReadOutWriter::WriteLine(const char* line, size_t length) {
  if (file_ == nullptr || length == 0) return Fail(ReadOutStatus::kWriteFailed);
  // Records are formatted with LF; the file carries CR LF.
  errno = 0;
  if (std::fwrite(line, 1, length - 1, file_) != length - 1 ||
      std::fwrite("\r\n", 1, 2, file_) != 2) {
    return Fail(StatusFromErrno(errno));
  }
  return ReadOutStatus::kOk;
}

ReadOutStatus ReadOutWriter::Finish() {
  if (file_ == nullptr) return ReadOutStatus::kWriteFailed;
  char line[kRecordLineBufferSize];
  size_t length = 0;
  if (format_ == ReadOutFormat::kSFormat) {
    length = FormatSRecord(line, {}, 0, kSRecordEnd24);
  } else {
    for (const char* p = kIntelEndOfFileRecord; *p != '\0'; ++p) line[length++] = *p;
  }
  ReadOutStatus status = WriteLine(line, length);
  if (status != ReadOutStatus::kOk) return status;
  errno = 0;
  if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) return Fail(StatusFromErrno(errno));
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  if (std::fclose(file) != 0) {
    status = StatusFromErrno(errno);
    unlink(tempPath_.c_str());
    tempPath_.clear();
    return status;
  }
  if (rename(tempPath_.c_str(), path_.c_str()) != 0) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
    return ReadOutStatus::kWriteFailed;
  }
  tempPath_.clear();
  return ReadOutStatus::kOk;
}

ReadOutStatus ReadOutWriter::Fail(ReadOutStatus status) {
  Abandon();
  return status;
}

void ReadOutWriter::Abandon() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

}  // namespace flash
