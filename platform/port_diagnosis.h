// Why a serial port could not be opened, in words a user can act on: the device that was
// tried with the operating system's reason, and a hint where one helps (the group that may
// use the device, the program that holds it, the ports that do exist).
#pragma once

#include <string>
#include <vector>

namespace platform {

struct PortDiagnosisPlaces {
  std::string devDir = "/dev";    // where serial devices are listed from
  std::string procDir = "/proc";  // where the holders of a device are looked for
};

// Lines to show after the program's own "cannot open" message; error is the errno of the
// failed open.
std::vector<std::string> DescribeOpenFailure(const std::string& device, int error,
                                             const PortDiagnosisPlaces& places = {});

}  // namespace platform
