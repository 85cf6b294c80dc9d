// A fresh directory for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kvtest.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Writes bytes exactly as given (no line-end translation); returns the full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string full = File(name);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << bytes;
    return full;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Number of entries in the directory (leftover temp files show up here).
  size_t EntryCount() const {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      (void)entry;
      ++n;
    }
    return n;
  }

 private:
  std::string path_;
};

}  // namespace testing_support
