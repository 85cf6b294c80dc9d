// The board's event log: one JSON object per line, flushed at once, so a test can read what
// the board received and sent while it runs. Every line has "t" (milliseconds since the
// start, with 3 decimals) and "event"; the other fields depend on the event (see --help).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kvsim {

class EventLog {
 public:
  // Opens (truncates) path; an empty path keeps the log off. Returns false on failure.
  bool Open(const std::string& path);
  ~EventLog();

  // One event: fields are already-encoded JSON members ("\"key\":value").
  void Write(double timeMs, const std::string& event, const std::vector<std::string>& fields);

 private:
  FILE* file_ = nullptr;
};

// Field builders.
std::string JsonField(const std::string& key, const std::string& text);
std::string JsonField(const std::string& key, uint64_t number);
std::string JsonBool(const std::string& key, bool value);
std::string JsonHex(const std::string& key, const uint8_t* data, size_t length);  // "0a1b..."
std::string JsonAddress(const std::string& key, uint32_t address);                // "0x080800"

}  // namespace kvsim
