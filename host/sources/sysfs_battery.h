#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"
#include "host/sources/battery_pack.h"
#include "host/sources/power_supply_folder.h"

namespace host {

// The system batteries (type Battery, scope not Device, present), in name order.
std::vector<const PowerSupply*> systemBatteries(const std::vector<PowerSupply>& supplies);

// Whether the machine runs on external power. Where it shows a mains or USB supply, whether one
// is online decides (`online` 1, or 2 for a programmable USB-C supply; a peripheral's dock,
// scope Device, is never the laptop's charger); only where there is none do the batteries'
// statuses decide (charging, full or not charging: online). Unknown when neither says.
ExternalPower externalPowerOf(const std::vector<PowerSupply>& supplies);

// The host's status dictionary for the supplies, or none without a system battery. Several
// batteries are combined as the system's display device does; a value the drivers do not give
// is left out, never made up, except the charge, which is worked out from what the driver gives
// so that the status always carries a level. When no level can be known for a battery, there
// is no status either, and unknownLevel (if given) names those batteries.
std::optional<brimwell::Plist> statusFromPowerSupplies(
    const std::vector<PowerSupply>& supplies, std::vector<std::string>* unknownLevel = nullptr);

}  // namespace host
