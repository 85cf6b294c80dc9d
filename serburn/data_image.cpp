#include "serburn/data_image.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/elf_segments.h"
#include "platform/text_file.h"
#include "serburn/chip_resolver.h"
#include "serburn/hex_records.h"
#include "serburn/s2_converter.h"

namespace serburn {

namespace {

constexpr uint8_t kBlank = 0xFF;

bool FileError(Reporter& reporter, const std::string& text) {
  return reporter.Error(ErrorClass::FileOperations, text);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string TooLongText(const RunSettings& s, uint64_t fileSize, uint64_t areaSize) {
  char range[64];
  std::snprintf(range, sizeof range, "0x%06lX..0x%06lX", static_cast<unsigned long>(s.startAddress),
                static_cast<unsigned long>(s.endAddress));
  return "data file " + s.dataFileName + " has " + std::to_string(fileSize) + " bytes, more than the " +
         std::to_string(areaSize) + " bytes of the flash area " + range +
         " (only 0xFF may follow the area)";
}

// Reads at most limit bytes into image, then checks that the rest of the file holds only
// 0xFF; total is the file's whole length.
bool ReadBinary(std::FILE* file, size_t limit, uint64_t areaSize, std::vector<uint8_t>& image, uint64_t& total,
                bool& overflow) {
  image.resize(limit);
  const size_t n = std::fread(image.data(), 1, limit, file);
  if (std::ferror(file)) return false;
  image.resize(n);
  total = n;
  overflow = false;
  for (uint64_t i = areaSize; i < n; ++i) overflow = overflow || image[i] != kBlank;
  uint8_t chunk[4096];
  for (;;) {
    const size_t m = std::fread(chunk, 1, sizeof chunk, file);
    for (size_t i = 0; i < m; ++i) overflow = overflow || chunk[i] != kBlank;
    total += m;
    if (m < sizeof chunk) return !std::ferror(file);
  }
}

enum class RecordsOutcome { Loaded, Failed, Binary };

// Record text of the whole 24-bit address space stays far below this; a larger file is
// binary and is not read into memory whole.
constexpr long kLargestRecordText = 64L << 20;

bool RecordTextFits(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file);
  std::rewind(file);
  return size >= 0 && size <= kLargestRecordText;
}

// A data file whose text is Intel-Hex or S-records throughout is decoded into the area;
// one that only begins like records is programmed as binary, as it always was, after a
// warning.
RecordsOutcome LoadRecords(const RunSettings& s, const std::string& path, std::vector<uint8_t>& image,
                           Reporter& reporter) {
  std::string text;
  if (!platform::ReadWholeFile(path, text)) {
    FileError(reporter, "unable to read from data file");
    return RecordsOutcome::Failed;
  }
  const RecordDecoding d = DecodeHexRecords(text, s.startAddress, s.endAddress, image);
  switch (d.result) {
    case RecordDecoding::Result::Decoded:
      reporter.Info(std::string("Data file: ") + d.format + " records");
      return RecordsOutcome::Loaded;
    case RecordDecoding::Result::OutsideArea:
      FileError(reporter, std::string(d.format) + " record outside the flash area in data file (line " +
                              std::to_string(d.line) + ")");
      return RecordsOutcome::Failed;
    case RecordDecoding::Result::NotRecords: break;
  }
  if (BeginsLikeRecords(text)) {
    reporter.Info("Warning: data file begins like hex records but is not all records; it is programmed as binary");
  }
  return RecordsOutcome::Binary;
}

// An ELF executable: its loadable segments at their physical addresses, each of which must
// lie inside the flash area.
bool LoadElf(const RunSettings& s, const std::string& path, std::vector<uint8_t>& image, Reporter& reporter) {
  std::vector<platform::ElfSegment> segments;
  std::string why;
  if (!platform::ReadElfSegments(path, segments, why)) {
    return FileError(reporter, "unable to read from data file (ELF: " + why + ")");
  }
  const uint64_t areaSize = uint64_t{s.endAddress} - s.startAddress + 1;
  image.assign(static_cast<size_t>(areaSize), kBlank);
  for (const platform::ElfSegment& segment : segments) {
    if (segment.address < s.startAddress || segment.address - s.startAddress + segment.bytes.size() > areaSize) {
      char text[160];
      std::snprintf(text, sizeof text, "ELF segment at 0x%06llX (%zu bytes) outside the flash area 0x%06lX..0x%06lX",
                    static_cast<unsigned long long>(segment.address), segment.bytes.size(),
                    static_cast<unsigned long>(s.startAddress), static_cast<unsigned long>(s.endAddress));
      return FileError(reporter, text);
    }
    std::copy(segment.bytes.begin(), segment.bytes.end(),
              image.begin() + static_cast<std::ptrdiff_t>(segment.address - s.startAddress));
  }
  reporter.Info("Data file: ELF executable, " + std::to_string(segments.size()) + " loadable segment(s)");
  return true;
}

}  // namespace

bool IsS2FileName(const std::string& name) {
  const std::string_view ending = kS2FileExtension;
  return name.size() >= ending.size() && std::string_view(name).substr(name.size() - ending.size()) == ending;
}

namespace {

// Reads the data file in whichever form it has into image.
bool ReadDataFile(const RunSettings& s, std::vector<uint8_t>& image, Reporter& reporter) {
  const uint64_t areaSize = uint64_t{s.endAddress} - s.startAddress + 1;
  const uint64_t blocks = (areaSize + kBlockSize - 1) / kBlockSize;
  const std::string path = PlatformPath(s.dataFileName);
  if (IsS2FileName(s.dataFileName)) return ConvertS2File(path, s.startAddress, s.endAddress, image, reporter);
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return FileError(reporter, "unable to open data file");
  char head[4] = {};
  const size_t headSize = std::fread(head, 1, sizeof head, file.get());
  std::rewind(file.get());
  if (platform::HasElfMagic(std::string(head, headSize))) return LoadElf(s, path, image, reporter);
  if (headSize > 0 && (head[0] == ':' || head[0] == 'S') && RecordTextFits(file.get())) {
    const RecordsOutcome outcome = LoadRecords(s, path, image, reporter);
    if (outcome != RecordsOutcome::Binary) return outcome == RecordsOutcome::Loaded;
  }
  uint64_t total = 0;
  bool overflow = false;
  if (!ReadBinary(file.get(), static_cast<size_t>(blocks * kBlockSize), areaSize, image, total, overflow)) {
    return FileError(reporter, "unable to read from data file");
  }
  if (overflow) return FileError(reporter, TooLongText(s, total, areaSize));
  return true;
}

}  // namespace

bool LoadDataImage(const RunSettings& s, std::vector<uint8_t>& image, Reporter& reporter) {
  if (!ReadDataFile(s, image, reporter)) return false;
  // The blocks are programmed whole: data that ends inside a block cannot be sent.
  if (image.size() % kBlockSize != 0) return FileError(reporter, "unable to read from data file");
  return true;
}

}  // namespace serburn
