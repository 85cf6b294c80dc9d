#include "fake_port_tree.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace platform_test {

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
}

void WriteAttribute(const std::string& dir, const std::string& name, const std::string& value) {
  if (!value.empty()) WriteFile(dir + "/" + name, value + "\n");
}

}  // namespace

FakePortTree::FakePortTree() {
  char pattern[] = "/tmp/kv-ports-XXXXXX";
  root_ = mkdtemp(pattern);
  for (const char* dir : {"/sys/class/tty", "/dev", "/proc", "/boards"}) fs::create_directories(root_ + dir);
}

FakePortTree::~FakePortTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

platform::PortDiscoveryPlaces FakePortTree::Places() const {
  platform::PortDiscoveryPlaces places;
  places.sysDir = root_ + "/sys";
  places.devDir = root_ + "/dev";
  places.procDir = root_ + "/proc";
  places.boardsDir = BoardsDir();
  return places;
}

void FakePortTree::Driver(const std::string& deviceDir, const std::string& bus, const std::string& driver) {
  if (driver.empty()) return;
  const std::string driverDir = root_ + "/sys/bus/" + bus + "/drivers/" + driver;
  fs::create_directories(driverDir);
  fs::create_directory_symlink(driverDir, deviceDir + "/driver");
}

void FakePortTree::AddTty(const std::string& name, const std::string& deviceDir) {
  const std::string ttyDir = deviceDir + "/tty/" + name;
  WriteAttribute(ttyDir, "dev", "188:0");
  fs::create_directory_symlink(deviceDir, ttyDir + "/device");
  fs::create_directory_symlink(ttyDir, root_ + "/sys/class/tty/" + name);
  WriteFile(Dev(name), "");
}

void FakePortTree::AddUsbTty(const std::string& name, const UsbStrings& usb, const std::string& driver,
                             bool interfaceIsDevice) {
  const std::string port = "1-" + std::to_string(nextUsbPort_++);
  const std::string usbDir = root_ + "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + port;
  WriteAttribute(usbDir, "idVendor", usb.vendorId);
  WriteAttribute(usbDir, "idProduct", usb.productId);
  WriteAttribute(usbDir, "manufacturer", usb.manufacturer);
  WriteAttribute(usbDir, "product", usb.product);
  WriteAttribute(usbDir, "serial", usb.serial);
  const std::string interfaceDir = usbDir + "/" + port + ":1.0";
  const std::string deviceDir = interfaceIsDevice ? interfaceDir : interfaceDir + "/" + name;
  fs::create_directories(deviceDir);
  Driver(deviceDir, interfaceIsDevice ? "usb" : "usb-serial", driver);
  AddTty(name, deviceDir);
}

void FakePortTree::AddUart(const std::string& name, int type, const std::string& driver, bool behindSerialBase) {
  const std::string line = name.substr(4);
  const std::string hardwareDir =
      root_ + "/sys/devices/" + (driver == "serial8250" ? "platform/serial8250" : "pnp0/00:0" + line);
  fs::create_directories(hardwareDir);
  if (!fs::exists(hardwareDir + "/driver")) Driver(hardwareDir, "platform", driver);
  std::string deviceDir = hardwareDir;
  if (behindSerialBase) {
    const std::string controlDir = hardwareDir + "/serial8250:" + line;
    deviceDir = controlDir + "/serial8250:" + line + ".0";
    fs::create_directories(deviceDir);
    Driver(controlDir, "serial-base", "ctrl");
    Driver(deviceDir, "serial-base", "port");
  }
  AddTty(name, deviceDir);
  if (type >= 0) WriteAttribute(deviceDir + "/tty/" + name, "type", std::to_string(type));
}

void FakePortTree::AddVirtualTty(const std::string& name) {
  fs::create_directories(root_ + "/sys/devices/virtual/tty/" + name);
  fs::create_directory_symlink(root_ + "/sys/devices/virtual/tty/" + name, root_ + "/sys/class/tty/" + name);
  WriteFile(Dev(name), "");
}

void FakePortTree::AddByIdLink(const std::string& linkName, const std::string& ttyName) {
  fs::create_directories(root_ + "/dev/serial/by-id");
  fs::create_symlink("../../" + ttyName, root_ + "/dev/serial/by-id/" + linkName);
}

void FakePortTree::Hold(const std::string& path, int pid, const std::string& comm) {
  const std::string processDir = root_ + "/proc/" + std::to_string(pid);
  WriteFile(processDir + "/comm", comm + "\n");
  fs::create_directories(processDir + "/fd");
  fs::create_symlink(fs::canonical(path), processDir + "/fd/3");
}

void FakePortTree::RemoveNode(const std::string& name) { fs::remove(Dev(name)); }

}  // namespace platform_test
