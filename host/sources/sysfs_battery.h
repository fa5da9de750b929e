#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"

namespace host {

// One power supply as the kernel shows it under /sys/class/power_supply/NAME: attribute file
// name to its first line. An attribute that could not be read is simply not there.
struct PowerSupply {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::optional<std::string> get(const std::string& attribute) const;
  bool operator==(const PowerSupply& other) const {
    return name == other.name && attributes == other.attributes;
  }
};

// Every supply in the folder, in name order.
std::vector<PowerSupply> readPowerSupplies(const std::string& folder);

// The system batteries (type Battery, scope not Device, present), in name order.
std::vector<const PowerSupply*> systemBatteries(const std::vector<PowerSupply>& supplies);

// The host's status dictionary for the supplies, or none without a system battery. Several
// batteries are combined as the system's display device does; a value the drivers do not give
// is left out, never made up.
std::optional<brimwell::Plist> statusFromPowerSupplies(const std::vector<PowerSupply>& supplies);

}  // namespace host
