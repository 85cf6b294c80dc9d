// The serial ports present, each with what a person recognises it by: the device, its
// stable /dev/serial/by-id name, the USB adapter's ids and strings, the driver, whether a
// program holds it; then the simulated boards that run (see simulated_boards.h).
//
// Which ports: every tty in <sys>/class/tty that has a device behind it and a node in
// <dev>. A ttyS* counts only when a UART is there: its "type" is not 0 (PORT_UNKNOWN), or,
// without a "type", its device has a driver other than the serial8250 placeholder.
// A simulated board's own hold on its pseudo-terminal does not count as in use.
// Order: real ports by device name, numbers compared as numbers (ttyUSB2 before ttyUSB10);
// then the simulated boards by link path.
#pragma once

#include <string>
#include <vector>

#include "platform/simulated_boards.h"

namespace platform {

struct PortDiscoveryPlaces {
  std::string sysDir = "/sys";
  std::string devDir = "/dev";
  std::string procDir = "/proc";                           // where holders are looked for
  std::string boardsDir = SimulatedBoardsDirectory();      // "" lists no simulated boards
};

struct PortInfo {
  std::string device;  // the path to open: /dev/ttyUSB0, or a simulated board's link
  std::string byId;    // /dev/serial/by-id/... leading to the device, "" when none
  std::string vendorId;      // USB idVendor, e.g. "0403"
  std::string productId;     // USB idProduct
  std::string manufacturer;  // USB strings, "" when the device has none
  std::string product;
  std::string serial;
  std::string driver;        // the kernel driver of the tty's device
  bool inUse = false;        // another program has it open (a simulated board: not the board)
  bool simulated = false;
  std::string chip;          // the simulated board's chip
  int boardPid = 0;          // the simulated board's process
};

std::vector<PortInfo> DiscoverPorts(const PortDiscoveryPlaces& places = {});

// One line for a person, e.g.
//   /dev/ttyUSB0  by-id /dev/serial/by-id/usb-X  0403:6001 Maker Cable serial A1 driver ftdi_sio  [in use]
//   /tmp/kvsim0  simulated KV40K358
std::string DescribePort(const PortInfo& port);

}  // namespace platform
