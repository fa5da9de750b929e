#include "host/sources/sysfs_battery.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "common/status_keys.h"

namespace host {
namespace {

using brimwell::Plist;
namespace key = brimwell::key;

// A whole number in a sysfs attribute; none when it is absent or not a number.
std::optional<long long> number(const PowerSupply& supply, const char* attribute) {
  const auto text = supply.get(attribute);
  if (!text || text->empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

long long rounded(double value) {
  return std::llround(value);
}

bool isExternalSupply(const PowerSupply& supply) {
  const auto type = supply.get("type");
  return type && *type != "Battery";
}

}  // namespace

std::optional<std::string> PowerSupply::get(const std::string& attribute) const {
  auto found = attributes.find(attribute);
  if (found == attributes.end()) return std::nullopt;
  return found->second;
}

std::vector<PowerSupply> readPowerSupplies(const std::string& folder) {
  std::vector<PowerSupply> supplies;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return supplies;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());

  static const char* const kAttributes[] = {"type",
                                            "scope",
                                            "online",
                                            "status",
                                            "charge_now",
                                            "charge_full",
                                            "charge_full_design",
                                            "energy_now",
                                            "energy_full",
                                            "energy_full_design",
                                            "voltage_now",
                                            "voltage_min_design",
                                            "current_now",
                                            "power_now",
                                            "temp",
                                            "cycle_count",
                                            "manufacturer",
                                            "serial_number"};
  for (const std::string& name : names) {
    PowerSupply supply{name, {}};
    for (const char* attribute : kAttributes) {
      std::ifstream in(folder + "/" + name + "/" + attribute);
      std::string line;
      // Some attributes cannot be read while the hardware is busy; they are simply missing.
      if (in && std::getline(in, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        supply.attributes[attribute] = line;
      }
    }
    if (supply.get("type")) supplies.push_back(std::move(supply));
  }
  return supplies;
}

const PowerSupply* systemBattery(const std::vector<PowerSupply>& supplies) {
  for (const PowerSupply& s : supplies) {
    // A mouse's or a phone's battery has scope Device; the laptop's own has none or System.
    if (s.get("type") == std::optional<std::string>("Battery") &&
        s.get("scope") != std::optional<std::string>("Device")) {
      return &s;
    }
  }
  return nullptr;
}

std::optional<Plist> statusFromPowerSupplies(const std::vector<PowerSupply>& supplies) {
  const PowerSupply* battery = systemBattery(supplies);
  if (!battery) return std::nullopt;
  const PowerSupply& b = *battery;
  Plist d = Plist::newDictionary();

  // Capacities: µAh to mAh, or µWh through the design voltage (else the present one).
  const auto voltageNow = number(b, "voltage_now");
  const auto designVoltage = number(b, "voltage_min_design");
  const auto energyVoltage = designVoltage && *designVoltage > 0 ? designVoltage : voltageNow;
  auto capacity = [&](const char* charge, const char* energy) -> std::optional<long long> {
    if (const auto microampHours = number(b, charge)) return rounded(*microampHours / 1000.0);
    const auto microwattHours = number(b, energy);
    if (microwattHours && energyVoltage && *energyVoltage > 0) {
      return rounded(static_cast<double>(*microwattHours) / static_cast<double>(*energyVoltage) *
                     1000.0);
    }
    return std::nullopt;
  };
  if (const auto v = capacity("charge_now", "energy_now"))
    d.setItem(key::kRawCurrentCapacity, Plist::integer(*v));
  if (const auto v = capacity("charge_full", "energy_full"))
    d.setItem(key::kRawMaxCapacity, Plist::integer(*v));
  if (const auto v = capacity("charge_full_design", "energy_full_design")) {
    d.setItem(key::kDesignCapacity, Plist::integer(*v));
  }

  const std::string status = b.get("status").value_or("");
  // Drivers disagree on the sign of current_now, so the direction comes from the status.
  std::optional<long long> milliamps;
  if (const auto microamps = number(b, "current_now")) {
    milliamps = rounded(std::llabs(*microamps) / 1000.0);
  } else if (const auto microwatts = number(b, "power_now");
             microwatts && voltageNow && *voltageNow > 0) {
    milliamps = rounded(std::llabs(*microwatts) / static_cast<double>(*voltageNow) * 1000.0);
  }
  if (milliamps) {
    const long long signedCurrent = status == "Discharging" ? -*milliamps : *milliamps;
    d.setItem(key::kInstantAmperage, Plist::integer(signedCurrent));
    d.setItem(key::kAmperage, Plist::integer(signedCurrent));
  }
  if (voltageNow) d.setItem(key::kVoltage, Plist::integer(rounded(*voltageNow / 1000.0)));
  if (const auto tenths = number(b, "temp"))
    d.setItem(key::kTemperature, Plist::integer(*tenths * 10));
  if (const auto cycles = number(b, "cycle_count"); cycles && *cycles > 0) {
    d.setItem(key::kCycleCount, Plist::integer(*cycles));
  }

  // The flags come from the status and the mains/USB supplies; without either they are unknown.
  const auto statusText = b.get("status");
  bool anySupplyKnown = false, supplyOnline = false;
  for (const PowerSupply& s : supplies) {
    if (!isExternalSupply(s) || !s.get("online")) continue;
    anySupplyKnown = true;
    supplyOnline = supplyOnline || s.get("online") == std::optional<std::string>("1");
  }
  if (statusText) {
    d.setItem(key::kIsCharging, Plist::boolean(status == "Charging"));
    d.setItem(key::kFullyCharged, Plist::boolean(status == "Full"));
  }
  if (statusText || anySupplyKnown) {
    const bool statusImpliesSupply =
        status == "Charging" || status == "Full" || status == "Not charging";
    const bool connected = supplyOnline || statusImpliesSupply;
    d.setItem(key::kExternalConnected, Plist::boolean(connected));
    d.setItem(key::kExternalChargeCapable, Plist::boolean(connected && status != "Not charging"));
  }

  if (const auto maker = b.get("manufacturer"); maker && !maker->empty()) {
    d.setItem(key::kManufacturer, Plist::string(*maker));
  }
  if (const auto serial = b.get("serial_number"); serial && !serial->empty()) {
    d.setItem(key::kSerial, Plist::string(*serial));
  }
  return d;
}

}  // namespace host
