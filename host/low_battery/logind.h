#pragma once

#include "host/low_battery/low_battery_policy.h"

namespace host::low_battery {

// The logind methods for an action: the one that asks whether it may (CanSuspend) and the one
// that does it (Suspend). False for an action that is not logind's.
bool logindMethods(Action action, const char*& can, const char*& method);

}  // namespace host::low_battery
