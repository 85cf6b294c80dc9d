#include "serburn/chip_resolver.h"

#include <cctype>
#include <limits>
#include <vector>

#include "platform/paths.h"
#include "platform/port_names.h"
#include "platform/text_file.h"
#include "serburn/birom_dialect.h"
#include "serburn/text_scan.h"

namespace serburn {

namespace {

constexpr size_t kSeriesPrefixLength = 4;
constexpr size_t kChipBaseLength = 8;
constexpr size_t kModuleNameColumn = 13;    // after "DownloadFile="
constexpr size_t kLoadAddressColumn = 12;   // after "LoadAddress="
constexpr size_t kStartAddressColumn = 13;  // after "StartAddress="
constexpr size_t kEndAddressColumn = 11;    // after "EndAddress="

bool ConfigError(Reporter& reporter, const std::string& text) {
  return reporter.Error(ErrorClass::Configuration, text);
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string_view From(std::string_view line, size_t column) {
  return column < line.size() ? line.substr(column) : std::string_view();
}

// ProgBaud derived from BiromBaud: twice it, saturating instead of overflowing.
int32_t TwiceBaud(int32_t baud) {
  const int64_t twice = int64_t{baud} * 2;
  if (twice > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (twice < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(twice);
}

uint32_t HexFrom(std::string_view line, size_t column) {
  const uint64_t value = ScanHex(From(line, column)).value_or(0);
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

// Splits a list line: token 0 (the key) ends at the first "=" or ",", later tokens at the
// next ","; empty tokens are skipped.
std::vector<std::string_view> ListTokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t pos = 0;
  bool first = true;
  while (pos < line.size()) {
    const size_t stop = first ? line.find_first_of("=,", pos) : line.find(',', pos);
    const size_t end = stop == std::string_view::npos ? line.size() : stop;
    if (end > pos) {
      tokens.push_back(line.substr(pos, end - pos));
      first = false;
    }
    pos = end + 1;
  }
  return tokens;
}

// Reads whole lines of one file (never split); an over-long line is an error where its
// content is used.
class LimitedLines {
 public:
  LimitedLines(std::string text, size_t limit, const char* fileName) : limit_(limit), fileName_(fileName) {
    reader_.Assign(std::move(text));
  }
  enum class Status { Line, End, TooLong };
  Status Next(std::string_view& line) {
    if (!reader_.NextLine(line)) return Status::End;
    return line.size() > limit_ ? Status::TooLong : Status::Line;
  }
  bool ReportTooLong(Reporter& reporter) const {
    return ConfigError(reporter, "line longer than " + std::to_string(limit_) + " characters in " + fileName_);
  }

 private:
  platform::TextLineReader reader_;
  size_t limit_;
  const char* fileName_;
};

}  // namespace

std::string PlatformPath(const std::string& path) { return platform::NormalizeSeparators(path); }

std::vector<std::string> SerburnConfigCandidates(const std::string& programDirectory) {
  return {PlatformPath(programDirectory + "serburn.cfg"), platform::UserConfigDirectory() + "serburn.cfg",
          "/etc/kvflash/serburn.cfg"};
}

bool LookupSeriesDirectory(std::string cfgText, const std::string& chipName, std::string& seriesDirectory,
                           Reporter& reporter) {
  LimitedLines lines(std::move(cfgText), kMaxConfigLine, "serburn.cfg");
  const std::string prefix = chipName.substr(0, kSeriesPrefixLength);
  std::string_view line;
  for (;;) {
    const auto status = lines.Next(line);
    if (status == LimitedLines::Status::End) break;
    std::string key(line.substr(0, kSeriesPrefixLength));
    for (size_t i = 0; i < key.size() && i < 2; ++i) {
      key[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[i])));
    }
    if (key != prefix) continue;
    if (status == LimitedLines::Status::TooLong) return lines.ReportTooLong(reporter);
    std::string directory;
    for (char c : From(line, kSeriesPrefixLength + 1)) {
      if (c == '\r' || c == '\n') break;  // the end of the line
      if (c != '"') directory += c;
    }
    if (directory.empty() || (directory.back() != '\\' && directory.back() != '/')) directory += '\\';
    seriesDirectory = directory;
    return true;
  }
  return ConfigError(reporter, "not find data for used series in serburn.cfg");
}

bool HeaderNamesChip(std::string_view headerLine, std::string_view chipName) {
  if (headerLine.empty() || headerLine[0] != '[') return false;
  const std::string_view h = headerLine.substr(1);
  if (chipName.size() < kChipBaseLength || h.size() < kChipBaseLength) return false;
  if (h.substr(0, kChipBaseLength) != chipName.substr(0, kChipBaseLength)) return false;
  const char ninth = h.size() > kChipBaseLength ? h[kChipBaseLength] : '\0';
  if (chipName.size() == kChipBaseLength) return ninth == ']' || ninth == '/';
  if (ninth == ']') return false;
  const std::string_view variant = chipName.substr(kChipBaseLength);
  std::string_view pieces = h.substr(kChipBaseLength);
  const size_t close = pieces.find(']');
  if (close != std::string_view::npos) pieces = pieces.substr(0, close);
  size_t pos = 0;
  while (pos <= pieces.size()) {
    const size_t slash = pieces.find('/', pos);
    const size_t end = slash == std::string_view::npos ? pieces.size() : slash;
    if (pieces.substr(pos, end - pos) == variant) return true;
    if (slash == std::string_view::npos) break;
    pos = slash + 1;
  }
  return false;
}

bool ReadChipRecord(std::string chipdefText, RunSettings& s, Reporter& reporter) {
  LimitedLines lines(std::move(chipdefText), kMaxChipdefLine, "CHIPDEF.ini");
  const std::string& chip = *s.chipName;
  std::string_view line;
  for (;;) {
    const auto status = lines.Next(line);
    if (status == LimitedLines::Status::End) {
      return ConfigError(reporter, s.series == Series::KV40 ? "given MCU not found in CHIPDEF.ini for KV40 series"
                                                            : "given MCU not found in CHIPDEF.ini for KV41 series");
    }
    if (HeaderNamesChip(line, chip)) {
      if (status == LimitedLines::Status::TooLong) return lines.ReportTooLong(reporter);
      break;
    }
  }

  // The record's lines by position; a line missing at the end of the file reads as empty.
  bool tooLong = false;
  auto next = [&]() -> std::string_view {
    std::string_view l;
    const auto status = lines.Next(l);
    if (status == LimitedLines::Status::TooLong) tooLong = true;
    return status == LimitedLines::Status::Line ? l : std::string_view();
  };

  const std::string_view moduleLine = next();
  if (tooLong) return lines.ReportTooLong(reporter);
  // The line with its line end must be longer than 13 characters.
  if (moduleLine.size() < kModuleNameColumn) {
    return ConfigError(reporter, "bad format for boot filename in CHIPDEF.ini");
  }
  if (s.moduleFileName.empty()) {
    const std::string_view name = From(moduleLine, kModuleNameColumn);
    s.moduleFileName = s.seriesDirectory + std::string(name.substr(0, name.find('\r')));
  }

  s.loadAddress = HexFrom(next(), kLoadAddressColumn);
  std::string_view startLine = next();
  if (startLine.find("DownloadOption=1") != std::string_view::npos) {
    s.downloadOption = true;
    startLine = next();
  }
  if (s.startAddress == 0) s.startAddress = HexFrom(startLine, kStartAddressColumn);
  s.endAddress = HexFrom(next(), kEndAddressColumn);
  next();  // FlashSize: present, not used
  if (tooLong) return lines.ReportTooLong(reporter);

  if (s.biromBaud != 0) {
    if (s.progBaud == 0) s.progBaud = TwiceBaud(s.biromBaud);
    return true;
  }

  const std::string clock = s.clockText ? *s.clockText : (s.series == Series::KV40 ? "16" : "4");
  const auto clockTokens = ListTokens(next());
  if (tooLong) return lines.ReportTooLong(reporter);
  // A prefix comparison over the clock text's length (a shorter token never matches). The
  // key itself (token 0) only counts the positions: a label never matches it, and an empty
  // label matches nothing.
  size_t index = 1;
  while (index < clockTokens.size() && clockTokens[index].substr(0, clock.size()) != clock) ++index;
  if (clock.empty() || index >= clockTokens.size()) {
    return ConfigError(reporter, "/oCLOCK option not found in CHIPDEF.ini");
  }
  s.clockIndex = static_cast<uint8_t>(index);

  const auto baudTokens = ListTokens(next());
  if (tooLong) return lines.ReportTooLong(reporter);
  if (index >= baudTokens.size()) return ConfigError(reporter, "Baud or Baud2 parameter error in CHIPDEF.ini");
  s.biromBaud = DecimalOrZero(baudTokens[index]);

  const std::string_view baud2Line = next();
  if (tooLong) return lines.ReportTooLong(reporter);
  if (baud2Line.substr(0, 5) == "Baud2") {
    const auto baud2Tokens = ListTokens(baud2Line);
    if (index >= baud2Tokens.size()) return ConfigError(reporter, "Baud or Baud2 parameter error in CHIPDEF.ini");
    s.progBaud = DecimalOrZero(baud2Tokens[index]);
  } else {
    s.progBaud = TwiceBaud(s.biromBaud);
  }
  return true;
}

bool ResolveChip(RunSettings& s, Reporter& reporter) {
  s.chipName = UpperCase(*s.chipName);
  const std::string& chip = *s.chipName;
  s.overlayDirectory = s.programDirectory;

  std::string cfgText;
  const std::vector<std::string> candidates = SerburnConfigCandidates(s.programDirectory);
  bool found = false;
  for (const std::string& path : candidates) {
    if (platform::ReadWholeFile(path, cfgText)) {
      found = true;
      break;
    }
  }
  if (!found) {
    ConfigError(reporter, "unable to open serburn.cfg");
    std::string looked;
    for (const std::string& path : candidates) looked += (looked.empty() ? "" : ", ") + path;
    reporter.Detail("looked for it in: " + looked);
    return false;
  }
  if (!LookupSeriesDirectory(std::move(cfgText), chip, s.seriesDirectory, reporter)) return false;

  const char seriesDigit = chip.size() > 3 ? chip[3] : '\0';
  if (seriesDigit == '0') {
    s.series = Series::KV40;
  } else if (seriesDigit == '1') {
    s.series = Series::KV41;
    s.overlayDirectory = s.programDirectory + "ovl\\41\\";
  } else {
    return ConfigError(reporter, "given MCU series not support. Only KV40 or KV41.");
  }

  std::string chipdefText;
  const std::string chipdefPath = platform::FindFileNoCase(PlatformPath(s.seriesDirectory), "CHIPDEF.INI");
  if (!platform::ReadWholeFile(chipdefPath, chipdefText)) return ConfigError(reporter, "unable to open CHIPDEF.ini");
  if (!ReadChipRecord(std::move(chipdefText), s, reporter)) return false;
  s.seriesNumber = chip.size() > 5 ? DecimalOrZero(std::string_view(chip).substr(5)) : 0;
  s.dialect = &BiromDialectFor(s.series, s.seriesNumber);
  return true;
}

}  // namespace serburn
