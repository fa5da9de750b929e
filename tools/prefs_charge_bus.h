#pragma once

#include "tools/prefs_charge.h"

namespace prefs {

// Makes the call on the system bus (DBUS_SYSTEM_BUS_ADDRESS where it is set) and waits for its
// answer at most boundSeconds. polkit may ask for an administrator's password meanwhile.
ChargeAnswer callChargeService(const ChargeCall& call, double boundSeconds);

}  // namespace prefs
