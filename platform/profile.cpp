#include "platform/profile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <unordered_set>

#include "platform/paths.h"
#include "platform/text_file.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string LowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

enum class LineKind { Other, Comment, Section, Entry };

// One line of the text, located by offsets so a writer can splice it.
struct ProfileLine {
  LineKind kind = LineKind::Other;
  size_t contentEnd = 0;     // end of the line without its CR LF or LF
  size_t next = 0;           // start of the next line
  bool endsWithLf = false;   // false only for a last line without a line end
  std::string_view name;     // section name or key, trimmed
  std::string_view value;    // value, trimmed, still quoted
  size_t valueBegin = 0;     // where a replacement value starts (after '=' and blanks)
};

class ProfileScanner {
 public:
  explicit ProfileScanner(std::string_view text) : text_(text) {
    // A UTF-8 byte order mark is not part of the first line.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  bool Next(ProfileLine& line) {
    if (pos_ >= text_.size()) return false;
    const size_t begin = pos_;
    size_t lf = text_.find('\n', begin);
    line.endsWithLf = lf != std::string_view::npos;
    if (!line.endsWithLf) lf = text_.size();
    line.next = line.endsWithLf ? lf + 1 : lf;
    line.contentEnd = (lf > begin && text_[lf - 1] == '\r') ? lf - 1 : lf;
    pos_ = line.next;
    Classify(begin, line);
    return true;
  }

 private:
  void Classify(size_t begin, ProfileLine& line) const {
    const std::string_view raw = text_.substr(begin, line.contentEnd - begin);
    const std::string_view s = Trim(raw);
    line.kind = LineKind::Other;
    line.name = {};
    line.value = {};
    if (s.empty()) return;
    if (s.front() == ';') {
      line.kind = LineKind::Comment;
      return;
    }
    if (s.front() == '[') {
      const size_t close = s.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        line.kind = LineKind::Section;
        line.name = Trim(s.substr(1, close - 1));
        return;
      }
    }
    const size_t eq = raw.find('=');
    if (eq == std::string_view::npos) return;
    line.kind = LineKind::Entry;
    line.name = Trim(raw.substr(0, eq));
    size_t vb = eq + 1;
    while (vb < raw.size() && IsBlank(raw[vb])) ++vb;
    line.valueBegin = begin + vb;
    line.value = Trim(raw.substr(eq + 1));
  }

  std::string_view text_;
  size_t pos_ = 0;
};

bool HasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A missing file reads as empty text; a file that exists but cannot be read is an error.
bool ReadProfileText(const std::string& path, std::string& text) {
  text.clear();
  if (ReadWholeFile(path, text)) return true;
  struct stat st {};
  return stat(path.c_str(), &st) != 0 && errno == ENOENT;
}

}  // namespace

std::vector<std::string> ProfileSectionNamesInText(std::string_view text) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  ProfileScanner scanner(text);
  ProfileLine line;
  while (scanner.Next(line)) {
    if (line.kind != LineKind::Section) continue;
    if (seen.insert(LowerCopy(line.name)).second) names.emplace_back(line.name);
  }
  return names;
}

std::optional<std::string> FindProfileValueInText(std::string_view text, std::string_view section,
                                                  std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  ProfileScanner scanner(text);
  ProfileLine line;
  bool inSection = false;
  while (scanner.Next(line)) {
    if (line.kind == LineKind::Section) {
      inSection = EqualNoCase(line.name, section);
    } else if (inSection && line.kind == LineKind::Entry && EqualNoCase(line.name, key)) {
      return std::string(Unquote(line.value));
    }
  }
  return std::nullopt;
}

int32_t ParseProfileInt(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  uint32_t result = 0;
  if (i + 1 < value.size() && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X')) {
    for (i += 2; i < value.size(); ++i) {
      const char c = value[i];
      uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        break;
      }
      result = result * 16u + digit;
    }
  } else {
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
      result = result * 10u + static_cast<uint32_t>(value[i] - '0');
    }
  }
  if (negative) result = 0u - result;
  return static_cast<int32_t>(result);
}

bool SetProfileStringInText(std::string& text, std::string_view section, std::string_view key,
                            std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) return false;
  if (key.empty() || key.find('=') != std::string_view::npos || key.front() == ';' ||
      key.front() == '[') {
    return false;
  }

  const size_t firstLf = text.find('\n');
  const bool lfOnly = firstLf != std::string::npos && (firstLf == 0 || text[firstLf - 1] != '\r');
  const std::string eol = lfOnly ? "\n" : "\r\n";

  ProfileScanner scanner(text);
  ProfileLine line;
  bool inSection = false;
  bool inFirstOccurrence = false;
  bool sectionFound = false;
  size_t insertAt = 0;
  bool insertAfterLf = true;
  while (scanner.Next(line)) {
    if (line.kind == LineKind::Section) {
      inSection = EqualNoCase(line.name, section);
      inFirstOccurrence = inSection && !sectionFound;
      if (inFirstOccurrence) {
        sectionFound = true;
        insertAt = line.next;
        insertAfterLf = line.endsWithLf;
      }
    } else if (inSection && line.kind == LineKind::Entry) {
      if (EqualNoCase(line.name, key)) {
        const size_t from = std::min(line.valueBegin, line.contentEnd);
        text.replace(from, line.contentEnd - from, value);
        return true;
      }
      if (inFirstOccurrence) {
        insertAt = line.next;
        insertAfterLf = line.endsWithLf;
      }
    }
  }

  std::string entry;
  entry.reserve(key.size() + value.size() + section.size() + 8);
  if (sectionFound) {
    if (!insertAfterLf) entry += eol;
    entry.append(key).append("=").append(value).append(eol);
    text.insert(insertAt, entry);
    return true;
  }
  if (!text.empty() && text.back() != '\n') entry += eol;
  entry.append("[").append(section).append("]").append(eol);
  entry.append(key).append("=").append(value).append(eol);
  text += entry;
  return true;
}

std::vector<std::string> GetProfileSectionNames(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, text)) return {};
  return ProfileSectionNamesInText(text);
}

std::string GetProfileString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& defaultValue) {
  std::string text;
  if (!ReadWholeFile(path, text)) return defaultValue;
  std::optional<std::string> value = FindProfileValueInText(text, section, key);
  return value ? std::move(*value) : defaultValue;
}

int32_t GetProfileInt(const std::string& path, const std::string& section,
                      const std::string& key, int32_t defaultValue) {
  std::string text;
  if (!ReadWholeFile(path, text)) return defaultValue;
  const std::optional<std::string> value = FindProfileValueInText(text, section, key);
  if (!value || value->empty()) return defaultValue;
  return ParseProfileInt(*value);
}

bool WriteProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
  std::string text;
  if (!ReadProfileText(path, text)) return false;
  const std::string before = text;
  if (!SetProfileStringInText(text, section, key, value)) return false;
  if (text == before && FileExists(path)) return true;
  return WriteFileAtomically(path, text);
}

}  // namespace platform
