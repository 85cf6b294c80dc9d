#include "flash/output/read_out_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "flash/output/record_format.h"

namespace flash {
namespace {

constexpr uint64_t kRecordBytes = 16;
constexpr uint64_t kPageBytes = 0x10000;

ReadOutStatus StatusFromErrno(int error) {
  return error == ENOSPC || error == EDQUOT ? ReadOutStatus::kDiskFull
                                            : ReadOutStatus::kWriteFailed;
}

// An existing file of that name (or the file a symbolic link of that name points to) must be a
// regular file we may write, as if it were opened for writing.
bool MayReplace(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode) && access(path.c_str(), W_OK) == 0;
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

ReadOutStatus ReadOutWriter::Create(const std::string& path) {
  Abandon();
  if (!MayReplace(path) || !file_.Create(path)) return ReadOutStatus::kOpenFailed;
  return ReadOutStatus::kOk;
}

ReadOutStatus ReadOutWriter::WriteHeader() {
  if (format_ != ReadOutFormat::kSFormat)
    return file_.IsOpen() ? ReadOutStatus::kOk : ReadOutStatus::kWriteFailed;
  char line[kRecordLineBufferSize];
  const size_t length = FormatSRecord(line, kWriterTag, 0, kSRecordHeader);
  return WriteLine(line, length);
}

ReadOutStatus ReadOutWriter::BeginArea(uint32_t start, uint32_t end) {
  areaStart_ = start;
  areaLimit_ = static_cast<uint64_t>(end) + 1;
  areaHasData_ = false;
  if (format_ != ReadOutFormat::kIntelHex)
    return file_.IsOpen() ? ReadOutStatus::kOk : ReadOutStatus::kWriteFailed;
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
  return file_.IsOpen() ? ReadOutStatus::kOk : ReadOutStatus::kWriteFailed;
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
  if (!file_.IsOpen() || length == 0) return Fail(ReadOutStatus::kWriteFailed);
  // Records are formatted with LF; the file carries CR LF.
  if (!file_.Write(line, length - 1) || !file_.Write("\r\n", 2)) {
    return Fail(StatusFromErrno(file_.Error()));
  }
  return ReadOutStatus::kOk;
}

ReadOutStatus ReadOutWriter::Finish() {
  if (!file_.IsOpen()) return ReadOutStatus::kWriteFailed;
  char line[kRecordLineBufferSize];
  size_t length = 0;
  if (format_ == ReadOutFormat::kSFormat) {
    length = FormatSRecord(line, {}, 0, kSRecordEnd24);
  } else {
    for (const char* p = kIntelEndOfFileRecord; *p != '\0'; ++p) line[length++] = *p;
  }
  const ReadOutStatus status = WriteLine(line, length);
  if (status != ReadOutStatus::kOk) return status;
  return file_.Commit() ? ReadOutStatus::kOk : StatusFromErrno(file_.Error());
}

ReadOutStatus ReadOutWriter::Fail(ReadOutStatus status) {
  Abandon();
  return status;
}

void ReadOutWriter::Abandon() { file_.Abandon(); }

}  // namespace flash
