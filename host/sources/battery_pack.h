#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "power_supply/external_power.h"
#include "power_supply/power_supply.h"

namespace host {

using power_supply::ExternalPower;
using power_supply::folderProblem;
using power_supply::PowerSupply;
using power_supply::readPowerSupplies;

// One battery pack in the host's units: mAh, mA signed (+ into the battery, - out of it), mV,
// hundredths of a degree. Every number lies within the 32 bits the status is read with.
struct BatteryPack {
  std::string name;
  std::optional<std::string> status;
  // Percent, 0-100: the driver's `capacity`, else the charge of the full (or design) charge.
  std::optional<double> level;
  // now/full is the level. Where the driver gives no full charge, full is the design charge, or
  // as the last resort 100 (then now is the level itself: percentScale).
  std::optional<int64_t> now, full, design;
  bool percentScale = false;
  std::optional<int64_t> current, voltage, temperature, cycles, threshold, startThreshold;
  bool onExternalPower = false;
  std::optional<std::string> manufacturer, serial;
  std::optional<std::string> model;  // the maker and the model name, as the driver names them
  // The same charge as energy, through the one voltage that turns one into the other (the
  // design voltage, else the present one); none without a voltage or on the scale of 100. The
  // power is the driver's, or its current through that voltage, so that energy over power is
  // charge over current.
  std::optional<double> energyWh, fullWh, powerW;
  std::optional<double> conversionVolts;
  // The driver gives power, no current: the current shown is the power over the voltage shown,
  // and a time in charges takes the power through the conversion voltage instead.
  bool currentFromPower = false;
  std::optional<double> kernelPercent;  // the driver's own `capacity`
  // The driver's coarse level (`capacity_level`), where it is one of the kernel's words: the
  // index into brimwell::kLevelWords, lowest first.
  std::optional<int> levelWord;
  // Whether the charge now, or the energy now, was worked out from the driver's whole percent:
  // too coarse to tell a rate by.
  bool chargeFromPercent = false, energyFromPercent = false;

  bool hasStatus(const char* value) const { return status == value; }
};

// The pack's values from its attributes; the current's direction needs to know whether the
// machine is on external power, since drivers disagree on the sign of current_now.
BatteryPack readBatteryPack(const PowerSupply& battery, ExternalPower power);

// Held at the kernel's charge limit on external power, a battery reports "Not charging" (or, on
// some drivers, "Unknown"): it is full at its limit or up to 2 points below it (or down to the
// limit at which charging starts again, where the driver has one), or without a limit at 90 %
// (as upower says).
bool heldFull(const BatteryPack& pack);
bool reportsFull(const BatteryPack& pack);

}  // namespace host
