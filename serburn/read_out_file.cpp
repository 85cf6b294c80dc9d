#include "serburn/read_out_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "serburn/chip_resolver.h"
#include "serburn/data_image.h"

namespace serburn {

namespace {

bool WriteError(Reporter& reporter) {
  return reporter.Error(ErrorClass::FileOperations, "unable to write to data file");
}

bool OpenError(Reporter& reporter) { return reporter.Error(ErrorClass::FileOperations, "unable to open data file"); }

}  // namespace

bool ReadOutFile::Create(const std::string& name, Reporter& reporter) {
  writer_ = &ReadOutWriterFor(name);
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
  std::string header;
  writer_->AppendHeader(header);
  return Write(header, reporter);
}

bool ReadOutFile::Write(const std::string& text, Reporter& reporter) {
  if (text.empty()) return true;
  const bool written = direct_ ? std::fwrite(text.data(), 1, text.size(), direct_.get()) == text.size()
                               : replacement_.Write(text.data(), text.size());
  return written || WriteError(reporter);
}

bool ReadOutFile::WriteBlock(uint32_t address, const uint8_t* block, Reporter& reporter) {
  std::string text;
  writer_->AppendBlock(text, address, block, kBlockSize);
  return Write(text, reporter);
}

bool ReadOutFile::Commit(Reporter& reporter) {
  std::string trailer;
  writer_->AppendTrailer(trailer);
  if (!Write(trailer, reporter)) return false;
  if (direct_) return std::fclose(direct_.release()) == 0 || WriteError(reporter);
  return replacement_.Commit() || WriteError(reporter);
}

void ReadOutFile::Abandon() {
  replacement_.Abandon();
  direct_.reset();
}

}  // namespace serburn
