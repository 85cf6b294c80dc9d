#include "platform/port_discovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <tuple>

#include "platform/port_holders.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

// dir is root or lies below it: walks up through sysfs stop when they leave the tree.
bool IsInside(const fs::path& dir, const fs::path& root) {
  if (dir == dir.root_path()) return false;
  return std::mismatch(root.begin(), root.end(), dir.begin(), dir.end()).first == root.end();
}

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

// The driver of the tty's device. Newer kernels put generic serial-base port and
// controller devices between a UART's tty and its hardware device; their drivers ("port",
// "ctrl") say nothing, so the hardware device's driver is taken.
std::string DriverOf(const fs::path& deviceDir, const fs::path& sysRoot) {
  for (fs::path dir = deviceDir; IsInside(dir, sysRoot); dir = dir.parent_path()) {
    std::error_code ec;
    const fs::path driver = fs::canonical(dir / "driver", ec);
    if (ec) return std::string();
    if (driver.parent_path().parent_path().filename() != "serial-base") return driver.filename().string();
  }
  return std::string();
}

// A ttyS that the 8250 driver registers for every possible line, hardware or not, has
// type 0 (PORT_UNKNOWN) and only the placeholder device.
bool UartIsThere(const fs::path& ttyDir, const std::string& driver) {
  std::error_code ec;
  if (fs::exists(ttyDir / "type", ec)) {
    const std::string type = FirstLine(ttyDir / "type");
    return !type.empty() && type != "0";
  }
  return !driver.empty() && driver != "serial8250";
}

// The USB device the tty belongs to: the nearest directory above its device with an idVendor.
void ReadUsbAttributes(const fs::path& deviceDir, const fs::path& sysRoot, PortInfo& port) {
  for (fs::path dir = deviceDir; IsInside(dir, sysRoot); dir = dir.parent_path()) {
    std::error_code ec;
    if (!fs::exists(dir / "idVendor", ec)) continue;
    port.vendorId = FirstLine(dir / "idVendor");
    port.productId = FirstLine(dir / "idProduct");
    port.manufacturer = FirstLine(dir / "manufacturer");
    port.product = FirstLine(dir / "product");
    port.serial = FirstLine(dir / "serial");
    return;
  }
}

// Device name -> its first by-id link, by name.
std::map<std::string, std::string> ByIdLinks(const std::string& devDir) {
  std::vector<fs::path> links;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(devDir + "/serial/by-id", ec)) links.push_back(e.path());
  std::sort(links.begin(), links.end());
  std::map<std::string, std::string> byName;
  for (const fs::path& link : links) {
    std::error_code linkError;
    const fs::path target = fs::read_symlink(link, linkError);
    if (!linkError) byName.emplace(target.filename().string(), link.string());
  }
  return byName;
}

// "ttyUSB10" -> ("ttyUSB", 10, ""): names ordered by their letters, then their number.
std::tuple<std::string, unsigned long, std::string> NameOrder(const std::string& name) {
  size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  const std::string number = name.substr(digits);
  if (number.empty() || number.size() > 9) return {name, 0, name};
  return {name.substr(0, digits), std::stoul(number), name};
}

std::vector<PortInfo> RealPorts(const PortDiscoveryPlaces& places) {
  std::vector<PortInfo> ports;
  std::error_code ec;
  const fs::path sysRoot = fs::canonical(places.sysDir, ec);
  if (ec) return ports;
  const std::map<std::string, std::string> byId = ByIdLinks(places.devDir);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(sysRoot / "class" / "tty", ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return NameOrder(a) < NameOrder(b); });
  for (const std::string& name : names) {
    const fs::path ttyDir = sysRoot / "class" / "tty" / name;
    std::error_code deviceError;
    const fs::path deviceDir = fs::canonical(ttyDir / "device", deviceError);
    if (deviceError) continue;  // virtual consoles and the like have no device
    const std::string node = places.devDir + "/" + name;
    if (!fs::exists(node, deviceError)) continue;
    PortInfo port;
    port.device = node;
    port.driver = DriverOf(deviceDir, sysRoot);
    if (name.rfind("ttyS", 0) == 0 && !UartIsThere(ttyDir, port.driver)) continue;
    const auto link = byId.find(name);
    if (link != byId.end()) port.byId = link->second;
    ReadUsbAttributes(deviceDir, sysRoot, port);
    ports.push_back(port);
  }
  return ports;
}

void Append(std::string& text, const std::string& separator, const std::string& part) {
  if (part.empty()) return;
  text += (text.empty() ? "" : separator) + part;
}

}  // namespace

std::vector<PortInfo> DiscoverPorts(const PortDiscoveryPlaces& places) {
  std::vector<PortInfo> ports = RealPorts(places);
  for (const SimulatedBoard& board : ListSimulatedBoards(places.boardsDir)) {
    PortInfo port;
    port.device = board.link;
    port.simulated = true;
    port.chip = board.chip;
    port.boardPid = board.pid;
    ports.push_back(port);
  }
  const HeldDeviceMap held = HeldDevices(places.procDir);
  for (PortInfo& port : ports) {
    const std::vector<PortHolder> holders = HoldersOf(port.device, held);
    port.inUse = std::any_of(holders.begin(), holders.end(),
                             [&port](const PortHolder& h) { return h.pid != port.boardPid; });
  }
  return ports;
}

std::string DescribePort(const PortInfo& port) {
  std::string line = port.device;
  if (!port.byId.empty()) line += "  by-id " + port.byId;
  std::string details;
  if (port.simulated) Append(details, " ", "simulated");
  Append(details, " ", port.chip);
  if (!port.vendorId.empty()) Append(details, " ", port.vendorId + ":" + port.productId);
  Append(details, " ", port.manufacturer);
  Append(details, " ", port.product);
  if (!port.serial.empty()) Append(details, " ", "serial " + port.serial);
  if (!port.driver.empty()) Append(details, " ", "driver " + port.driver);
  Append(line, "  ", details);
  if (port.inUse) line += "  [in use]";
  return line;
}

}  // namespace platform
