#include "flash/app/port_assignment.h"

#include <filesystem>
#include <system_error>

#include "platform/port_names.h"
#include "platform/profile.h"

std::string AssignedPortName(const platform::PortInfo& port) {
  return port.byId.empty() ? port.device : port.byId;
}

bool AssignPortToCom(int comNumber, const platform::PortInfo& port) {
  if (comNumber < 1 || comNumber > 20) return false;
  const std::string path = platform::UserPortMapPath();
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  return platform::WriteProfileString(path, "Ports", "COM" + std::to_string(comNumber),
                                      AssignedPortName(port));
}
