#include "sim/event_log.h"

namespace kvsim {

bool EventLog::Open(const std::string& path) {
  if (path.empty()) return true;
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

EventLog::~EventLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void EventLog::Write(double timeMs, const std::string& event, const std::vector<std::string>& fields) {
  if (file_ == nullptr) return;
  std::string line;
  char t[32];
  std::snprintf(t, sizeof t, "%.3f", timeMs);
  line += "{\"t\":";
  line += t;
  line += ",\"event\":\"" + event + "\"";
  for (const std::string& f : fields) line += "," + f;
  line += "}\n";
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

std::string JsonField(const std::string& key, const std::string& text) {
  std::string out = "\"" + key + "\":\"";
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", u);
      out += esc;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonField(const std::string& key, uint64_t number) {
  return "\"" + key + "\":" + std::to_string(number);
}

std::string JsonBool(const std::string& key, bool value) {
  return "\"" + key + "\":" + (value ? "true" : "false");
}

std::string JsonHex(const std::string& key, const uint8_t* data, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out = "\"" + key + "\":\"";
  out.reserve(out.size() + length * 2 + 1);
  for (size_t i = 0; i < length; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out + "\"";
}

std::string JsonAddress(const std::string& key, uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", address);
  return JsonField(key, std::string(text));
}

}  // namespace kvsim
