#pragma once

#include <string>

#include "host/low_battery/low_battery_policy.h"

namespace host::low_battery {

// Asks systemd-logind on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the system's) to suspend,
// hibernate, hybrid-sleep or power off, after its Can... method says "yes"; never through a
// shell. False, with why, when the bus, logind or the answer says no. Each call is bounded, so
// a bus that does not answer cannot hang the host.
bool askLogind(Action action, std::string& why);

}  // namespace host::low_battery
