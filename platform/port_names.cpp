#include "platform/port_names.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/profile.h"

namespace platform {

namespace {

constexpr int kLastComNumber = 20;

// The COM number of "COMn" (any case, n = 1..20 without leading zeros), or 0.
int ComNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 5) return 0;
  for (size_t i = 0; i < 3; ++i) {
    const char c = static_cast<char>(name[i] & ~0x20);
    if (c != "COM"[i]) return 0;
  }
  if (name[3] == '0') return 0;
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n <= kLastComNumber ? n : 0;
}

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string HomeDirectory() {
  std::string home = NonEmptyEnv("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return "/";
}

}  // namespace

std::string UserConfigDirectory() {
  std::string base = NonEmptyEnv("XDG_CONFIG_HOME");
  // A relative setting is ignored, as the base-directory convention asks.
  if (base.empty() || base[0] != '/') {
    base = HomeDirectory();
    if (base.back() != '/') base += '/';
    base += ".config";
  }
  if (base.back() != '/') base += '/';
  return base + "kvflash/";
}

std::string UserPortMapPath() { return UserConfigDirectory() + "ports.ini"; }

std::string ResolvePortName(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const int n = ComNumber(name);
  if (n == 0) return name;
  const std::string key = "COM" + std::to_string(n);
  std::string device = NonEmptyEnv(("KVPORT_" + key).c_str());
  if (!device.empty()) return device;
  device = GetProfileString(UserPortMapPath(), "Ports", key, "");
  if (!device.empty()) return device;
  return "/dev/ttyS" + std::to_string(n - 1);
}

std::string ComPortDevice(int comNumber) { return ResolvePortName("COM" + std::to_string(comNumber)); }

}  // namespace platform
