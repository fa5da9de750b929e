#include "tests/support/power_supply_fixture.h"

namespace testing_support {

void writeSupply(const TempDir& dir, const std::string& folder, const std::string& name,
                 const SupplyAttributes& attributes) {
  for (const auto& [attribute, value] : attributes) {
    dir.write(folder + "/" + name + "/" + attribute, value + "\n");
  }
}

SupplyAttributes chargeBasedBattery() {
  return {{"type", "Battery"},
          {"status", "Discharging"},
          {"charge_now", "3402000"},
          {"charge_full", "4080000"},
          {"charge_full_design", "4400000"},
          {"current_now", "1210000"},
          {"voltage_now", "11913000"},
          {"voltage_min_design", "11400000"},
          {"cycle_count", "87"},
          {"temp", "301"},
          {"manufacturer", "SMP"},
          {"serial_number", "  1234"}};
}

SupplyAttributes energyOnlyBattery() {
  return {
      {"type", "Battery"},        {"scope", "System"},         {"status", "Charging"},
      {"energy_now", "30780000"}, {"energy_full", "45600000"}, {"energy_full_design", "57000000"},
      {"power_now", "17100000"},  {"voltage_now", "12600000"}, {"voltage_min_design", "11400000"},
      {"manufacturer", "LGC"}};
}

SupplyAttributes mainsAdapter(bool online) {
  return {{"type", "Mains"}, {"online", online ? "1" : "0"}};
}

}  // namespace testing_support
