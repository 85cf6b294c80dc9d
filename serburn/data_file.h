// The data file of program, verify and read: one file open at a time, read or written in
// 512-byte blocks. A name ending in ".mhx" is converted to a temporary binary image first;
// that temporary file is deleted when the data file is closed or destroyed, so no exit
// leaves it behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "serburn/session.h"

namespace serburn {

constexpr size_t kBlockSize = 512;

class DataFile {
 public:
  enum class Mode { Read, Write };
  enum class BlockRead { Block, End, Failed };

  explicit DataFile(Session& session) : session_(session) {}
  ~DataFile() { Close(); }
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  bool Open(const std::string& name, Mode mode);
  BlockRead ReadBlock(uint8_t* block);
  bool WriteBlock(const uint8_t* block);
  // False when the file could not be completed (a written file's last data did not reach it).
  bool Close();

 private:
  Session& session_;
  std::FILE* file_ = nullptr;
  std::string tempName_;
};

}  // namespace serburn
