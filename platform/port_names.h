// Port names, one rule for both programmers:
//  - a name containing '/' is a device path and is used as it stands;
//  - "COMn" (n = 1..20, any case) maps to /dev/ttyS(n-1) unless redirected, first by the
//    environment variable KVPORT_COMn (per process; tests use it), then by the key COMn
//    in section [Ports] of the user's file $XDG_CONFIG_HOME/kvflash/ports.ini
//    (~/.config/kvflash/ports.ini when XDG_CONFIG_HOME is unset);
//  - any other name is returned unchanged (opening it will fail with the caller's message).
#pragma once

#include <string>

namespace platform {

std::string ResolvePortName(const std::string& name);
// Device for COM number 1..20 ("COM3" -> ResolvePortName("COM3")).
std::string ComPortDevice(int comNumber);
// The user's configuration directory of these programs, ending in '/':
// $XDG_CONFIG_HOME/kvflash/ (~/.config/kvflash/ when that is unset or relative).
std::string UserConfigDirectory();
// Path of the user's persistent port map.
std::string UserPortMapPath();

}  // namespace platform
