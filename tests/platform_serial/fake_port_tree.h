// A fake /sys, /dev and /proc in a temporary directory, laid out as the kernel lays them
// out for USB serial adapters, ACM devices and 8250 UARTs, for the port discovery.
#pragma once

#include <string>

#include "platform/port_discovery.h"

namespace platform_test {

struct UsbStrings {
  std::string vendorId, productId, manufacturer, product, serial;  // "" leaves a file out
};

class FakePortTree {
 public:
  FakePortTree();
  ~FakePortTree();
  FakePortTree(const FakePortTree&) = delete;
  FakePortTree& operator=(const FakePortTree&) = delete;

  platform::PortDiscoveryPlaces Places() const;
  std::string Dev(const std::string& name) const { return root_ + "/dev/" + name; }
  std::string BoardsDir() const { return root_ + "/boards"; }

  // A tty of a USB serial converter: its device is the converter's port below the USB
  // interface (ttyUSB*), or the interface itself (interfaceIsDevice, as for ttyACM*).
  void AddUsbTty(const std::string& name, const UsbStrings& usb, const std::string& driver, bool interfaceIsDevice);
  // A ttyS* with a "type" file (type < 0 leaves it out) on a device with driver; with
  // behindSerialBase, serial-base controller and port devices lie between, as in newer kernels.
  void AddUart(const std::string& name, int type, const std::string& driver, bool behindSerialBase = false);
  // A tty without a device (virtual console), with its /dev node.
  void AddVirtualTty(const std::string& name);
  void AddByIdLink(const std::string& linkName, const std::string& ttyName);
  // A process named comm with fd 3 open on path.
  void Hold(const std::string& path, int pid, const std::string& comm);
  // A sysfs tty with no node in /dev.
  void RemoveNode(const std::string& name);

 private:
  void AddTty(const std::string& name, const std::string& deviceDir);
  void Driver(const std::string& deviceDir, const std::string& bus, const std::string& driver);

  std::string root_;
  int nextUsbPort_ = 1;
};

}  // namespace platform_test
