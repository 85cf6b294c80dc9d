#include "flash/hexfile/elf_loader.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "flash/hexfile/load_report.h"
#include "platform/elf_segments.h"

namespace flash {

namespace {

bool InsideOneArea(uint64_t address, uint64_t size, FlashAreaSpan areas) {
  return std::any_of(areas.begin(), areas.end(), [&](const FlashArea& a) {
    return address >= a.start && address + size - 1 <= a.end;
  });
}

}  // namespace

bool IsElfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[4] = {};
  in.read(head, sizeof head);
  return platform::HasElfMagic(std::string(head, static_cast<size_t>(in.gcount())));
}

bool LoadElfFile(const std::string& path, FlashImage& image, FlashAreaSpan areas, HexLoadView* view) {
  std::vector<platform::ElfSegment> segments;
  std::string why;
  if (!platform::ReadElfSegments(path, segments, why)) {
    ReportLoadError(view, HexLoadFailure::kElfUnreadable, "ELF file error: " + why, kElfDecoderCaption);
    return false;
  }
  const uint32_t base = areas.front().start;
  for (const platform::ElfSegment& s : segments) {
    if (!InsideOneArea(s.address, s.bytes.size(), areas)) {
      char text[120];
      std::snprintf(text, sizeof text, "ELF segment at 0x%08llX (%zu bytes) is outside the flash areas",
                    static_cast<unsigned long long>(s.address), s.bytes.size());
      ReportLoadError(view, HexLoadFailure::kElfOutsideAreas, text, kElfDecoderCaption);
      return false;
    }
  }
  for (const platform::ElfSegment& s : segments) {
    std::copy(s.bytes.begin(), s.bytes.end(), image.Data() + (s.address - base));
  }
  return true;
}

}  // namespace flash
