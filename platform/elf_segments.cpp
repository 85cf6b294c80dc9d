#include "platform/elf_segments.h"

#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace platform {

namespace {

struct ElfCloser {
  void operator()(Elf* e) const { elf_end(e); }
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool HasElfMagic(const std::string& head) { return head.size() >= 4 && head.compare(0, 4, ELFMAG, 4) == 0; }

bool ReadElfSegments(const std::string& path, std::vector<ElfSegment>& segments, std::string& error) {
  segments.clear();
  if (elf_version(EV_CURRENT) == EV_NONE) {
    error = "the ELF library cannot be used";
    return false;
  }
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    error = std::strerror(errno);
    return false;
  }
  std::unique_ptr<Elf, ElfCloser> elf(elf_begin(fd.get(), ELF_C_READ, nullptr));
  if (!elf || elf_kind(elf.get()) != ELF_K_ELF) {
    error = "not an ELF file";
    return false;
  }
  size_t count = 0;
  if (elf_getphdrnum(elf.get(), &count) != 0) {
    error = elf_errmsg(-1);
    return false;
  }
  const off_t fileSize = lseek(fd.get(), 0, SEEK_END);
  for (size_t i = 0; i < count; ++i) {
    GElf_Phdr header;
    if (gelf_getphdr(elf.get(), static_cast<int>(i), &header) == nullptr) {
      error = elf_errmsg(-1);
      return false;
    }
    if (header.p_type != PT_LOAD || header.p_filesz == 0) continue;
    if (fileSize < 0 || header.p_offset > static_cast<uint64_t>(fileSize) ||
        header.p_filesz > static_cast<uint64_t>(fileSize) - header.p_offset) {
      error = "a segment lies beyond the end of the file";
      return false;
    }
    ElfSegment segment;
    segment.address = header.p_paddr;
    segment.bytes.resize(header.p_filesz);
    if (pread(fd.get(), segment.bytes.data(), segment.bytes.size(), static_cast<off_t>(header.p_offset)) !=
        static_cast<ssize_t>(segment.bytes.size())) {
      error = "the file cannot be read";
      return false;
    }
    segments.push_back(std::move(segment));
  }
  if (segments.empty()) {
    error = "no loadable segment";
    return false;
  }
  return true;
}

}  // namespace platform
