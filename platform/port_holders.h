// Which programs have a device open, found through /proc/<pid>/fd without opening the device,
// so neither the holder nor a free port (whose open could pulse DTR) is disturbed. Only the
// processes whose fd lists we may read are seen: all of them for root, our own otherwise.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace platform {

struct PortHolder {
  int pid = 0;
  std::string name;  // the program's name (comm)
};
using HeldDeviceMap = std::map<std::string, std::vector<PortHolder>>;

// Every device held, by its canonical path, with the processes that hold it.
HeldDeviceMap HeldDevices(const std::string& procDir = "/proc");

// The holders of one device (any path that leads to it) in held; empty when it is free.
std::vector<PortHolder> HoldersOf(const std::string& device, const HeldDeviceMap& held);

}  // namespace platform
