#include "platform/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals name without case; the exact name when present, else
// the first match in byte order so the choice does not depend on the directory's order.
bool MatchEntryNoCase(const std::string& dir, const std::string& name, std::string& found) {
  if (Exists(JoinPath(dir, name))) {
    found = name;
    return true;
  }
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return false;
  bool matched = false;
  while (const dirent* e = readdir(d)) {
    if (strcasecmp(e->d_name, name.c_str()) != 0) continue;
    if (!matched || found.compare(e->d_name) > 0) found = e->d_name;
    matched = true;
  }
  closedir(d);
  return matched;
}

}  // namespace

std::string ProgramDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "./";
    if (static_cast<size_t>(n) < buffer.size()) {
      std::string exe(buffer.data(), static_cast<size_t>(n));
      const size_t slash = exe.rfind('/');
      return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  size_t dirEnd = dir.size();
  while (dirEnd > 1 && dir[dirEnd - 1] == '/') --dirEnd;
  size_t nameBegin = 0;
  while (nameBegin < name.size() && name[nameBegin] == '/') ++nameBegin;
  std::string out = dir.substr(0, dirEnd);
  if (out != "/") out += '/';
  out.append(name, nameBegin, std::string::npos);
  return out;
}

std::string NormalizeSeparators(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::string FindFileNoCase(const std::string& dir, const std::string& name) {
  const std::string exact = JoinPath(dir, name);
  if (Exists(exact)) return exact;
  // Matches component by component, so "Data\Ctrl.bin" also finds data/CTRL.BIN.
  std::string current = dir;
  size_t pos = 0;
  const std::string normalized = NormalizeSeparators(name);
  while (pos <= normalized.size()) {
    size_t slash = normalized.find('/', pos);
    if (slash == std::string::npos) slash = normalized.size();
    const std::string part = normalized.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty()) continue;
    std::string found;
    if (!MatchEntryNoCase(current, part, found)) return exact;
    current = current.empty() ? found : JoinPath(current, found);
  }
  return current;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string BaseName(const std::string& path) {
  const size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace platform
