#include "serburn/data_file.h"

#include <unistd.h>

#include "serburn/chip_resolver.h"
#include "serburn/s2_converter.h"

namespace serburn {

namespace {
bool HasS2Extension(const std::string& name) {
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".mhx") == 0;
}
}  // namespace

bool DataFile::Open(const std::string& name, Mode mode) {
  Close();
  std::string path = PlatformPath(name);
  if (HasS2Extension(name)) {
    const RunSettings& s = session_.settings;
    if (!ConvertS2File(path, s.startAddress, s.endAddress, session_.tempDirectory, tempName_, session_.reporter)) {
      return false;
    }
    path = tempName_;
  }
  file_ = std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "wb");
  if (file_ == nullptr) {
    Close();
    return session_.reporter.Error(ErrorClass::FileOperations, "unable to open data file");
  }
  return true;
}

DataFile::BlockRead DataFile::ReadBlock(uint8_t* block) {
  const size_t n = std::fread(block, 1, kBlockSize, file_);
  if (n == kBlockSize) return BlockRead::Block;
  if (n == 0 && !std::ferror(file_)) return BlockRead::End;
  session_.reporter.Error(ErrorClass::FileOperations, "unable to read from data file");
  return BlockRead::Failed;
}

bool DataFile::WriteBlock(const uint8_t* block) {
  if (std::fwrite(block, 1, kBlockSize, file_) != kBlockSize) {
    return session_.reporter.Error(ErrorClass::FileOperations, "unable to write to data file");
  }
  return true;
}

bool DataFile::Close() {
  bool ok = true;
  if (file_ != nullptr) {
    ok = std::fclose(file_) == 0;
    file_ = nullptr;
  }
  if (!tempName_.empty()) {
    unlink(tempName_.c_str());
    tempName_.clear();
  }
  return ok;
}

}  // namespace serburn
