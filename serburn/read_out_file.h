// The file a read writes. It is created before the port is opened (so a read-out that
// cannot go where it should is found before the chip is touched), filled block by block,
// and put in place only when the whole range was read: a regular file is written as a
// temporary file beside its name and renamed at the end, so a run that ends early, or is
// interrupted, leaves the old file (if any) as it was and no temporary file behind. A device
// or pipe (/dev/stdout) is written directly. The name chooses the writer of the format
// (read_out_writer.h): ".mhx" gets S2 records, any other name a binary image. Errors are
// class 3.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/replacement_file.h"
#include "serburn/read_out_writer.h"
#include "serburn/reporter.h"

namespace serburn {

class ReadOutFile {
 public:
  [[nodiscard]] bool Create(const std::string& name, Reporter& reporter);
  // One 512-byte block read from the flash at address.
  [[nodiscard]] bool WriteBlock(uint32_t address, const uint8_t* block, Reporter& reporter);
  // Puts the complete file in place.
  [[nodiscard]] bool Commit(Reporter& reporter);
  // Gives the read-out up: the temporary file goes, the old file stays.
  void Abandon();

 private:
  [[nodiscard]] bool Write(const std::string& text, Reporter& reporter);

  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  platform::ReplacementFile replacement_;
  std::unique_ptr<std::FILE, Closer> direct_;  // a device or pipe
  const ReadOutWriter* writer_ = nullptr;  // chosen by Create
};

}  // namespace serburn
