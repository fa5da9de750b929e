#include "power_supply/external_power.h"

#include <algorithm>

namespace power_supply {

std::optional<bool> onlineSays(std::string_view online) {
  if (online == "0") return false;
  if (online == "1" || online == "2") return true;
  return std::nullopt;
}

std::vector<const PowerSupply*> systemBatteries(const std::vector<PowerSupply>& supplies) {
  std::vector<const PowerSupply*> batteries;
  for (const PowerSupply& s : supplies) {
    // A mouse's or a phone's battery has scope Device; the laptop's own has none or System. A
    // pack taken out keeps its files with their last values, but says present 0.
    if (s.is("type", "Battery") && !s.is("scope", "Device") && !s.is("present", "0")) {
      batteries.push_back(&s);
    }
  }
  return batteries;
}

ExternalPower externalPowerOf(const std::vector<PowerSupply>& supplies) {
  ExternalPower power = ExternalPower::unknown;
  for (const PowerSupply& s : supplies) {
    if (s.is("type", "Battery") || s.is("scope", "Device")) continue;
    const auto online = s.get("online");
    const auto on = online ? onlineSays(*online) : std::nullopt;
    if (on == true) return ExternalPower::online;
    if (on == false) power = ExternalPower::offline;
  }
  if (power != ExternalPower::unknown) return power;
  // No supply says: a charging pack has power, a draining one has none, and one that is full
  // or held at its limit sits on the charger.
  const auto batteries = systemBatteries(supplies);
  const auto any = [&](const char* status) {
    return std::any_of(batteries.begin(), batteries.end(),
                       [&](const PowerSupply* b) { return b->is("status", status); });
  };
  if (any("Charging")) return ExternalPower::online;
  if (any("Discharging")) return ExternalPower::offline;
  if (any("Full") || any("Not charging")) return ExternalPower::online;
  return ExternalPower::unknown;
}

}  // namespace power_supply
