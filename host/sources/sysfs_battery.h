#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/plist.h"
#include "host/estimate/charge_estimate.h"
#include "host/sources/battery_pack.h"
#include "host/sources/battery_source.h"

namespace host {

using power_supply::externalPowerOf;
using power_supply::systemBatteries;

// A reading of the folder: the status for the plug-in, and what the host's own estimates need.
struct SysfsReading {
  brimwell::Plist status;
  estimate::Reading estimate;           // all packs together; its time is the caller's to set
  std::optional<double> kernelPercent;  // the drivers' own percentage, all packs together
  std::vector<PackWear> packs;          // each pack's wear, where its driver states it
  std::optional<double> powerW;  // the packs' power in W (none where a driver gives no voltage)
  // The energy now and at full charge in Wh, where every pack's driver reports energy.
  std::optional<double> energyWh, fullWh;
};
std::optional<SysfsReading> readSysfs(const std::vector<PowerSupply>& supplies,
                                      std::vector<std::string>* unknownLevel = nullptr);

// Adds the host's own figures to a laptop's status, named as the device's own dictionaries name
// theirs: the drivers' percentage (CurrentCapacity), the times to empty and to full in minutes
// (AvgTimeToEmpty, AvgTimeToFull; 65535 while unknown or not the way the charge goes), the
// battery's power in mW (BatteryPower), its energy now and at full charge in mWh where the
// drivers report energy (BatteryEnergy, BatteryEnergyFull), the charge limit in percent
// (ChargeLimit) and a state word (ChargingState).
void addHostFigures(const SysfsReading& reading, const estimate::Times& times,
                    brimwell::Plist& status);

// The status of system batteries for which no percent can be had (readSysfs names them): present,
// with what their drivers give, the state word and the level in a word (BatteryLevelWord), never
// a charge made up; none without a system battery.
std::optional<brimwell::Plist> coarseStatus(const std::vector<PowerSupply>& supplies);

// The host's status dictionary for the supplies, or none without a system battery. Several
// batteries are combined as the system's display device does; a value the drivers do not give
// is left out, never made up, except the charge, which is worked out from what the driver gives
// so that the status always carries a level. When no level can be known for a battery, there
// is no status either, and unknownLevel (if given) names those batteries.
std::optional<brimwell::Plist> statusFromPowerSupplies(
    const std::vector<PowerSupply>& supplies, std::vector<std::string>* unknownLevel = nullptr);

// Whether the charge service's kept limits (the file's text) hold a "full once" of the boot
// `bootId` for any system battery among the supplies whose limit is 100 % (or not shown): the
// limit lifted until external power goes. A damaged file holds none.
bool fullOnceWaits(std::string_view keptText, const std::vector<PowerSupply>& supplies,
                   std::string_view bootId);

}  // namespace host
