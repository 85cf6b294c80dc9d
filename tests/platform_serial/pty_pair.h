// A pseudo-terminal pair for tests: the master end stays here, the slave path is what the
// port under test opens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform_test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

  // Writes all bytes to the master end.
  bool Send(const std::vector<uint8_t>& bytes);
  // Reads from the master end until count bytes have come or waitMs passes without any.
  std::vector<uint8_t> Receive(size_t count, int waitMs = 2000);
  void CloseMaster();

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace platform_test
