#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "power_supply/power_supply.h"

// Whether the machine runs on external power: one rule for the laptop service and the charge
// service.
namespace power_supply {

enum class ExternalPower { unknown, online, offline };

// What a supply's `online` says: 0 offline, 1 online, 2 a programmable supply (USB PD's PPS)
// online. Anything else says nothing.
std::optional<bool> onlineSays(std::string_view online);

// The system batteries (type Battery, scope not Device, present), in name order.
std::vector<const PowerSupply*> systemBatteries(const std::vector<PowerSupply>& supplies);

// Where the machine shows a mains or USB supply, whether one is online decides (a peripheral's
// dock, scope Device, is never the laptop's charger); only where there is none do the batteries'
// statuses decide (charging, full or not charging: online). Unknown when neither says.
ExternalPower externalPowerOf(const std::vector<PowerSupply>& supplies);

}  // namespace power_supply
