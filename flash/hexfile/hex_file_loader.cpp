#include "flash/hexfile/hex_file_loader.h"

#include "flash/hexfile/elf_loader.h"
#include "flash/hexfile/intel_hex_decoder.h"
#include "flash/hexfile/load_report.h"
#include "flash/hexfile/s_record_decoder.h"
#include "platform/text_file.h"

namespace flash {

bool LoadHexFile(const std::string& path, FlashAreaSpan areas, FlashImage& image,
                 bool fullOperation, uint8_t fillByte, HexLoadView* view) {
  if (view != nullptr) {
    HexLoadStatus status;
    status.messageNumber = kDecodingHexFileMessage;
    status.fullOperation = fullOperation;
    status.text = fullOperation ? std::string(kFullOperationPrefix) + kDecodingHexFileText
                                : std::string(kDecodingHexFileText);
    view->ShowLoadStatus(status);
  }
  image.Fill(fillByte);

  const AreaFit fit = CheckAreasFitImage(areas);
  if (fit != AreaFit::kFits) {
    ReportLoadError(view, HexLoadFailure::kAreasDoNotFit, AreaFitText(fit));
    return false;
  }
  if (IsElfFile(path)) return LoadElfFile(path, image, areas, view);
  platform::TextLineReader file;
  if (!file.Open(path)) {
    ReportLoadError(view, HexLoadFailure::kFileOpen, "file open error");
    return false;
  }
  std::string_view firstLine;
  if (!file.NextLine(firstLine)) {
    ReportLoadError(view, HexLoadFailure::kEmptyFile, "This file is NULL");
    return false;
  }
  if (!firstLine.empty() && firstLine[0] == ':') return LoadIntelHex(file, image, areas, view);
  if (!firstLine.empty() && firstLine[0] == 'S') return LoadSRecords(file, image, areas, view);
  ReportLoadError(view, HexLoadFailure::kUnknownFormat, "auto-format detector error");
  return false;
}

int ComputeImageChecksum(const std::string& path, FlashAreaSpan areas, FlashImage& image,
                         uint8_t fillByte) {
  if (!LoadHexFile(path, areas, image, false, fillByte, nullptr)) return kChecksumLoadFailed;
  const uint32_t base = areas.front().start;
  uint32_t sum = 0;
  for (const FlashArea& area : areas) {
    const uint8_t* bytes = image.Data() + (area.start - base);
    const uint64_t size = static_cast<uint64_t>(area.end) - area.start + 1;
    for (uint64_t i = 0; i < size; ++i) sum += bytes[i];
  }
  return static_cast<int>(sum & 0xFFFF);
}

}  // namespace flash
