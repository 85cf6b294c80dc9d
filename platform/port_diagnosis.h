// Why a serial port could not be opened, in words a user can act on: the device that was
// tried with the operating system's reason, and a hint where one helps (the group that may
// use the device, the program that holds it, the ports that do exist, see port_discovery.h).
#pragma once

#include <string>
#include <vector>

#include "platform/port_discovery.h"

namespace platform {

// Lines to show after the program's own "cannot open" message; error is the errno of the
// failed open.
std::vector<std::string> DescribeOpenFailure(const std::string& device, int error,
                                             const PortDiscoveryPlaces& places = {});

}  // namespace platform
