#include "platform/port_holders.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {

namespace {

namespace fs = std::filesystem;

bool IsNumber(const std::string& text) {
  return !text.empty() && text.size() <= 9 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Comm(const fs::path& processDir) {
  std::ifstream in(processDir / "comm");
  std::string name;
  std::getline(in, name);
  return name;
}

}  // namespace

HeldDeviceMap HeldDevices(const std::string& procDir) {
  HeldDeviceMap held;
  std::error_code ec;
  for (const auto& proc : fs::directory_iterator(procDir, ec)) {
    const std::string pid = proc.path().filename().string();
    if (!IsNumber(pid)) continue;
    std::vector<std::string> seen;  // one entry per device and process
    std::error_code fdError;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdError)) {
      std::error_code linkError;
      const fs::path target = fs::read_symlink(fd.path(), linkError);
      if (linkError || target.empty() || target.string()[0] != '/') continue;  // sockets, pipes
      const std::string device = target.string();
      if (std::find(seen.begin(), seen.end(), device) != seen.end()) continue;
      seen.push_back(device);
      held[device].push_back({std::stoi(pid), Comm(proc.path())});
    }
  }
  return held;
}

std::vector<PortHolder> HoldersOf(const std::string& device, const HeldDeviceMap& held) {
  std::error_code ec;
  const fs::path target = fs::canonical(device, ec);
  if (ec) return {};
  const auto found = held.find(target.string());
  return found != held.end() ? found->second : std::vector<PortHolder>();
}

}  // namespace platform
