// Writes a read-out file (S-format or Intel-Hex) as the flash blocks arrive from the target.
//
// How CopyFlashToFile uses it, one writer per read-out:
//   ReadOutWriter writer(format);
//   Create(path)        -> kOpenFailed: show kOpenFileErrorText (owner: the main window), stop.
//   WriteHeader()       -> the S0 line of an S-format file (nothing for Intel-Hex).
//   for each flash area in list order:
//     BeginArea(start, end)                  (Intel-Hex: its type-04 record)
//     for each block read: WriteBlock(block address, the block's 512 bytes)
//                                            (bytes past the area's end are left out)
//   Finish()            -> on a completed read-out, after the "COPY" timing entry: the end
//                          record, then the file is moved into place under the chosen name.
// Any other status than kOk from WriteHeader, BeginArea, WriteBlock or Finish stops the
// read-out: show ReadOutStatusText(status) (owner: the progress window) and stop. A cancelled
// or failed read-out calls Abandon() (the destructor does so too): the temporary file is
// deleted and a file that had the chosen name before is left as it was. Everything is written
// to a temporary file beside the chosen one, so no partial file ever carries the chosen name.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/replacement_file.h"

namespace flash {

enum class ReadOutFormat { kSFormat, kIntelHex };

enum class ReadOutStatus {
  kOk,
  kOpenFailed,   // the file cannot be created
  kDiskFull,     // a write failed because the disk is full
  kWriteFailed,  // any other write failure
};

// Message-box texts of the read-out's file failures, all with this caption.
inline constexpr const char* kReadOutCaption = "Flash Memory Writer";
inline constexpr const char* kOpenFileErrorText = "ERROR : OPEN FILE ERROR";
inline constexpr const char* kDiskFullErrorText = "ERROR : DISK FULL ERROR";
inline constexpr const char* kWriteFileErrorText = "ERROR : WRITE FILE ERROR";

// The text for a failed status ("" for kOk).
const char* ReadOutStatusText(ReadOutStatus status);

// The 4-byte tag carried by the S0 header line.
inline constexpr uint8_t kWriterTag[4] = {'K', 'V', 'T', '2'};

class ReadOutWriter {
 public:
  explicit ReadOutWriter(ReadOutFormat format) : format_(format) {}
  ~ReadOutWriter() = default;
  ReadOutWriter(const ReadOutWriter&) = delete;
  ReadOutWriter& operator=(const ReadOutWriter&) = delete;

  // Creates the temporary file beside path. kOpenFailed when it cannot be created, or when
  // path names a directory or an existing file that may not be written.
  ReadOutStatus Create(const std::string& path);
  // S-format: the header line S00700004B565432D1. Intel-Hex: nothing.
  ReadOutStatus WriteHeader();
  // Starts the area start..end (inclusive); Intel-Hex writes the area's type-04 record.
  ReadOutStatus BeginArea(uint32_t start, uint32_t end);
  // Writes the bytes read at address, in records of 16 bytes from the area's start; bytes
  // beyond the area's end are ignored. Intel-Hex records never cross a 64 KiB boundary: one
  // that would is split there, with a type-04 record before its second part.
  ReadOutStatus WriteBlock(uint32_t address, std::span<const uint8_t> bytes);
  // Writes the end record, flushes the file to the disk and renames it to the chosen name.
  ReadOutStatus Finish();
  // Closes and deletes the temporary file; the chosen name is not touched.
  void Abandon();

  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& TemporaryPath() const { return file_.TemporaryPath(); }

 private:
  ReadOutStatus WriteLine(const char* line, size_t length);
  ReadOutStatus WriteDataRecord(std::span<const uint8_t> data, uint32_t address);
  ReadOutStatus Fail(ReadOutStatus status);

  ReadOutFormat format_;
  platform::ReplacementFile file_;
  uint64_t areaStart_ = 0;
  uint64_t areaLimit_ = 0;  // area end + 1
  bool areaHasData_ = false;
};

}  // namespace flash
