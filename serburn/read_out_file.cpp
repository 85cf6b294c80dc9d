#include "serburn/read_out_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "serburn/chip_resolver.h"
#include "serburn/data_image.h"
#include "serburn/s2_writer.h"

namespace serburn {

namespace {

bool WriteError(Reporter& reporter) {
  return reporter.Error(ErrorClass::FileOperations, "unable to write to data file");
}

bool OpenError(Reporter& reporter) { return reporter.Error(ErrorClass::FileOperations, "unable to open data file"); }

}  // namespace

bool ReadOutFile::Create(const std::string& name, Reporter& reporter) {
  s2_ = IsS2FileName(name);
  const std::string path = PlatformPath(name);
  struct stat st {};
  const bool exists = stat(path.c_str(), &st) == 0;
  // A directory, or a file the user may not write, is never replaced.
  if (exists && (S_ISDIR(st.st_mode) || access(path.c_str(), W_OK) != 0)) return OpenError(reporter);
  if (exists && !S_ISREG(st.st_mode)) {
    direct_.reset(std::fopen(path.c_str(), "wb"));
    if (!direct_) return OpenError(reporter);
  } else if (!replacement_.Create(path)) {
    return OpenError(reporter);
  }
  if (!s2_) return true;
  const std::string header = S2HeaderRecord();
  return Write(header.data(), header.size(), reporter);
}

bool ReadOutFile::Write(const void* data, size_t size, Reporter& reporter) {
  const bool written = direct_ ? std::fwrite(data, 1, size, direct_.get()) == size : replacement_.Write(data, size);
  return written || WriteError(reporter);
}

bool ReadOutFile::WriteBlock(uint32_t address, const uint8_t* block, Reporter& reporter) {
  if (!s2_) return Write(block, kBlockSize, reporter);
  std::string records;
  AppendS2Records(records, address, block, kBlockSize);
  return Write(records.data(), records.size(), reporter);
}

bool ReadOutFile::Commit(Reporter& reporter) {
  if (s2_) {
    const std::string end = S2EndRecord();
    if (!Write(end.data(), end.size(), reporter)) return false;
  }
  if (direct_) return std::fclose(direct_.release()) == 0 || WriteError(reporter);
  return replacement_.Commit() || WriteError(reporter);
}

void ReadOutFile::Abandon() {
  replacement_.Abandon();
  direct_.reset();
}

}  // namespace serburn
