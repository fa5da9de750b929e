#pragma once

#include <map>
#include <string>

#include "tests/support/temp_dir.h"

namespace testing_support {

using SupplyAttributes = std::map<std::string, std::string>;

// Writes one supply's attribute files under folder/name, as the kernel lays them out.
void writeSupply(const TempDir& dir, const std::string& folder, const std::string& name,
                 const SupplyAttributes& attributes);

// Laptops seen in the wild, as fixture attribute sets.
SupplyAttributes chargeBasedBattery();  // charge_* in µAh, current_now, cycle count, temp
SupplyAttributes energyOnlyBattery();   // energy_* in µWh, power_now, no current
SupplyAttributes mainsAdapter(bool online);

}  // namespace testing_support
