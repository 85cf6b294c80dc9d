#include "sim/flash_memory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/text_file.h"

namespace kvsim {

FlashMemory::FlashMemory(std::vector<FlashArea> areas) : areas_(std::move(areas)) {
  bytes_.assign(static_cast<size_t>(areas_.back().end - areas_.front().start) + 1, 0xFF);
}

bool FlashMemory::Covers(uint32_t address, size_t length) const {
  if (length == 0) return false;
  const uint64_t last = static_cast<uint64_t>(address) + length - 1;
  return std::any_of(areas_.begin(), areas_.end(),
                     [&](const FlashArea& a) { return address >= a.start && last <= a.end; });
}

bool FlashMemory::Program(uint32_t address, const uint8_t* data, size_t length) {
  if (!Covers(address, 1)) return false;
  bool ok = true;
  for (size_t i = 0; i < length; ++i) {
    const uint64_t a = static_cast<uint64_t>(address) + i;
    if (a > 0xFFFFFFu || !Covers(static_cast<uint32_t>(a), 1)) continue;
    const size_t offset = static_cast<size_t>(a - Base());
    uint8_t& cell = bytes_[offset];
    const uint8_t result = static_cast<uint8_t>(cell & data[i]);
    if (result != data[i]) ok = false;
    if (result != cell) MarkChanged(offset, offset + 1);
    cell = result;
  }
  return ok;
}

bool FlashMemory::EraseFrom(uint32_t address, size_t limitBytes) {
  if (!Covers(address, 1)) return false;
  size_t erased = 0;
  for (const FlashArea& a : areas_) {
    if (a.end < address) continue;
    const uint32_t from = std::max(a.start, address);
    for (uint64_t x = from; x <= a.end && erased < limitBytes; ++x, ++erased) {
      const size_t offset = static_cast<size_t>(x - Base());
      if (bytes_[offset] != 0xFF) MarkChanged(offset, offset + 1);
      bytes_[offset] = 0xFF;
    }
  }
  return true;
}

std::optional<uint32_t> FlashMemory::FirstNotBlank(uint32_t address) const {
  for (const FlashArea& a : areas_) {
    if (a.end < address) continue;
    for (uint64_t x = std::max(a.start, address); x <= a.end; ++x) {
      if (bytes_[static_cast<size_t>(x - Base())] != 0xFF) return static_cast<uint32_t>(x);
    }
  }
  return std::nullopt;
}

void FlashMemory::Read(uint32_t address, uint8_t* out, size_t length) const {
  for (size_t i = 0; i < length; ++i) {
    const uint64_t a = static_cast<uint64_t>(address) + i;
    out[i] = (a >= Base() && a - Base() < bytes_.size()) ? bytes_[static_cast<size_t>(a - Base())] : 0xFF;
  }
}

bool FlashMemory::Load(const std::string& path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents) || contents.size() != bytes_.size()) return false;
  std::copy(contents.begin(), contents.end(), bytes_.begin());
  changedBegin_ = SIZE_MAX;
  changedEnd_ = 0;
  return true;
}

void FlashMemory::MarkChanged(size_t begin, size_t end) {
  changedBegin_ = std::min(changedBegin_, begin);
  changedEnd_ = std::max(changedEnd_, end);
}

bool FlashMemory::SaveChanges(const std::string& path) {
  if (!HasChanges()) return true;
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) != bytes_.size()) {
    if (fd >= 0) close(fd);
    return Save(path);
  }
  size_t done = changedBegin_;
  while (done < changedEnd_) {
    const ssize_t n = pwrite(fd, bytes_.data() + done, changedEnd_ - done, static_cast<off_t>(done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool ok = close(fd) == 0 && done == changedEnd_;
  if (ok) {
    changedBegin_ = SIZE_MAX;
    changedEnd_ = 0;
  }
  return ok;
}

// Temp file and rename, so a reader sees the old or the new image, never half of one. No
// fsync: only other processes need a consistent view, not a disk that survives a power cut.
bool FlashMemory::Save(const std::string& path) {
  const std::string temp = path + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes_.size()) {
    const ssize_t n = write(fd, bytes_.data() + done, bytes_.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool ok = close(fd) == 0 && done == bytes_.size() && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  if (ok) {
    changedBegin_ = SIZE_MAX;
    changedEnd_ = 0;
  }
  return ok;
}

}  // namespace kvsim
