// The board's end of the line: a pseudo-terminal master. kvsim keeps the slave open itself
// (never reading it), so the line survives the programmer closing and reopening the port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvsim {

class PtyEndpoint {
 public:
  PtyEndpoint() = default;
  ~PtyEndpoint();
  PtyEndpoint(const PtyEndpoint&) = delete;
  PtyEndpoint& operator=(const PtyEndpoint&) = delete;

  // Opens master and slave (raw, at initialBaud) and links linkPath to the slave. Returns an
  // empty string, or what failed.
  std::string Open(const std::string& linkPath, uint32_t initialBaud);
  void Close();

  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  // The rate the programmer set on the slave.
  uint32_t LineBaud() const;

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string linkPath_;
};

}  // namespace kvsim
