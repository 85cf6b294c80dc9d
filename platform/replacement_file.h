// A file written under a temporary name beside the file it replaces, then moved into place,
// so the chosen name always carries either the old file or the complete new one.
//
//   ReplacementFile file;
//   file.Create(path);     a new, uniquely named file beside path (beside the target when
//                          path is a symbolic link, so the link survives)
//   file.Write(...)        buffered writes
//   file.Commit();         flush, sync to the disk, close, rename over path
// Abandon() (and the destructor, when Commit was not reached) closes and deletes the
// temporary file; path is not touched. So does an interrupt (SIGINT, SIGTERM, SIGHUP) while
// the file is open.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file; a file it replaces lends it its permission bits. Abandons a
  // file still open. False when it cannot be created (Error() tells why).
  bool Create(const std::string& path);
  // False when the write fails or no file is open; the file stays open until Abandon.
  bool Write(const void* data, size_t size);
  // Moves the written file into place. On failure the temporary file is deleted.
  bool Commit();
  void Abandon();

  bool IsOpen() const { return file_ != nullptr; }
  // errno of the last failure, 0 when none was reported.
  int Error() const { return error_; }
  // The file that Commit replaces (the symbolic link's target), and the temporary file.
  const std::string& TargetPath() const { return target_; }
  const std::string& TemporaryPath() const { return temp_; }

 private:
  bool Fail();

  std::FILE* file_ = nullptr;
  std::string target_;
  std::string temp_;
  int error_ = 0;
  int cleanupSlot_ = -1;  // the temporary file's entry in the interrupt clean-up
};

}  // namespace platform
