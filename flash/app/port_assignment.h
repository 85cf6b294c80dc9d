// Assigning a detected serial port to a COM name: the key COMn in section [Ports] of the
// user's port map (platform::UserPortMapPath), which platform::ResolvePortName reads.
#pragma once

#include <string>

#include "platform/port_discovery.h"

// The name to store for port: its /dev/serial/by-id name when it has one (so the COM name
// keeps reaching the adapter after it is plugged in again), else its device.
std::string AssignedPortName(const platform::PortInfo& port);

// Writes COM<comNumber>=AssignedPortName(port) to the user's port map, creating its folder
// when needed. comNumber is 1..20. True on success.
bool AssignPortToCom(int comNumber, const platform::PortInfo& port);
