#include "platform/port_diagnosis.h"

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {

namespace {

namespace fs = std::filesystem;

bool IsSerialDeviceName(const std::string& name) {
  static const char* const kPrefixes[] = {"ttyUSB", "ttyACM", "ttyAMA", "ttyXRUSB", "rfcomm"};
  for (const char* p : kPrefixes) {
    if (name.rfind(p, 0) == 0) return true;
  }
  return false;
}

// The USB and on-board serial devices that exist, with the stable by-id names first.
std::vector<std::string> PresentPorts(const PortDiagnosisPlaces& places) {
  std::vector<std::string> ports;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(places.devDir + "/serial/by-id", ec)) ports.push_back(e.path().string());
  std::sort(ports.begin(), ports.end());
  std::vector<std::string> devices;
  for (const auto& e : fs::directory_iterator(places.devDir, ec)) {
    if (IsSerialDeviceName(e.path().filename().string())) devices.push_back(e.path().string());
  }
  std::sort(devices.begin(), devices.end());
  ports.insert(ports.end(), devices.begin(), devices.end());
  return ports;
}

std::string Comm(const fs::path& processDir) {
  std::ifstream in(processDir / "comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Programs that have the device open, as "name (PID n)".
std::vector<std::string> Holders(const std::string& device, const PortDiagnosisPlaces& places) {
  std::error_code ec;
  const fs::path target = fs::canonical(device, ec);
  std::vector<std::string> holders;
  if (ec) return holders;
  for (const auto& proc : fs::directory_iterator(places.procDir, ec)) {
    const std::string pid = proc.path().filename().string();
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    std::error_code fdError;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdError)) {
      std::error_code linkError;
      if (fs::read_symlink(fd.path(), linkError) == target) {
        holders.push_back(Comm(proc.path()) + " (PID " + pid + ")");
        break;
      }
    }
  }
  return holders;
}

std::string GroupOf(const std::string& device) {
  struct stat st {};
  if (stat(device.c_str(), &st) != 0) return std::string();
  const group* g = getgrgid(st.st_gid);
  return g != nullptr ? g->gr_name : std::to_string(st.st_gid);
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& i : items) text += (text.empty() ? "" : ", ") + i;
  return text;
}

}  // namespace

std::vector<std::string> DescribeOpenFailure(const std::string& device, int error,
                                             const PortDiagnosisPlaces& places) {
  std::vector<std::string> lines = {"device " + device + ": " + std::strerror(error)};
  if (error == EACCES || error == EPERM) {
    std::string group = GroupOf(device);
    if (group.empty() || group == "root") group = "dialout";
    lines.push_back("your user may not use it: add it to the group " + group + " (sudo usermod -aG " + group +
                    " $USER), then log in again");
  } else if (error == EBUSY || error == EWOULDBLOCK) {
    const std::vector<std::string> holders = Holders(device, places);
    lines.push_back(holders.empty() ? "another program holds it; close that program and try again"
                                    : "held by " + Joined(holders) + "; close it and try again");
  } else if (error == ENOENT || error == ENODEV || error == ENXIO) {
    const std::vector<std::string> ports = PresentPorts(places);
    lines.push_back(ports.empty() ? "no USB or on-board serial port is connected"
                                  : "serial ports present: " + Joined(ports));
  } else if (error == ENOTTY) {
    lines.push_back("it is not a serial device");
  }
  return lines;
}

}  // namespace platform
