#include "platform/port_diagnosis.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/port_holders.h"

namespace platform {

namespace {

// The ports that exist, each by its stable by-id name where it has one.
std::vector<std::string> PresentPorts(const PortDiscoveryPlaces& places) {
  std::vector<std::string> names;
  for (const PortInfo& port : DiscoverPorts(places)) names.push_back(port.byId.empty() ? port.device : port.byId);
  return names;
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
                                             const PortDiscoveryPlaces& places) {
  std::vector<std::string> lines = {"device " + device + ": " + std::strerror(error)};
  if (error == EACCES || error == EPERM) {
    std::string group = GroupOf(device);
    if (group.empty() || group == "root") group = "dialout";
    lines.push_back("your user may not use it: add it to the group " + group + " (sudo usermod -aG " + group +
                    " $USER), then log in again");
  } else if (error == EBUSY || error == EWOULDBLOCK) {
    std::vector<std::string> holders;
    for (const PortHolder& h : HoldersOf(device, HeldDevices(places.procDir))) {
      holders.push_back(h.name + " (PID " + std::to_string(h.pid) + ")");
    }
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
