#include "host/sources/battery_pack.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "common/saturating_truncate.h"
#include "common/utf8.h"

namespace host {
namespace {

// A whole number in a sysfs attribute, saturated at the 64-bit limits; none when it is absent
// or not a number.
std::optional<int64_t> number(const PowerSupply& supply, const char* attribute) {
  const auto text = supply.get(attribute);
  if (!text || text->empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const int64_t value = std::strtoll(text->c_str(), &end, 10);
  if (end == text->c_str() || *end != '\0' || (errno != 0 && errno != ERANGE)) return std::nullopt;
  return value;
}

std::optional<int64_t> positive(std::optional<int64_t> value) {
  return value && *value > 0 ? value : std::nullopt;
}

// Every figure the status carries is read as a 32-bit number: round, and saturate there.
int64_t within32Bits(double value) {
  return brimwell::saturatingTruncate(std::round(value));
}

// A charge in mAh cannot be negative.
int64_t charge(double milliampHours) {
  return std::max<int64_t>(0, within32Bits(milliampHours));
}

// The one voltage (µV) that turns energy into charge and power into current, so that a time
// worked out from them is energy over power: the design voltage, else the present one.
std::optional<int64_t> conversionVoltage(const PowerSupply& b) {
  if (const auto design = positive(number(b, "voltage_min_design"))) return design;
  return positive(number(b, "voltage_now"));
}

// A capacity in mAh: µAh, or µWh through the conversion voltage.
std::optional<int64_t> capacity(const PowerSupply& b, const char* inCharge, const char* inEnergy,
                                std::optional<int64_t> volts) {
  if (const auto microampHours = number(b, inCharge))
    return charge(static_cast<double>(*microampHours) / 1000.0);
  const auto microwattHours = number(b, inEnergy);
  if (microwattHours && volts)
    return charge(static_cast<double>(*microwattHours) / static_cast<double>(*volts) * 1000.0);
  return std::nullopt;
}

// The driver's own percentage: a text that is not a number is 0, the rest clamped to 0-100, as
// upower reads it.
std::optional<double> capacityPercent(const PowerSupply& b) {
  const auto text = b.get("capacity");
  if (!text) return std::nullopt;
  char* end = nullptr;
  const double percent = std::strtod(text->c_str(), &end);
  if (end == text->c_str() || !std::isfinite(percent)) return 0.0;
  return std::clamp(percent, 0.0, 100.0);
}

// The current in mA with the driver's own sign: current_now, else power_now through the
// conversion voltage.
std::optional<double> driverCurrent(const PowerSupply& b, std::optional<int64_t> volts) {
  if (const auto microamps = number(b, "current_now"))
    return static_cast<double>(*microamps) / 1000.0;
  const auto microwatts = number(b, "power_now");
  if (microwatts && volts)
    return static_cast<double>(*microwatts) / static_cast<double>(*volts) * 1000.0;
  return std::nullopt;
}

// Drivers disagree on the sign of current_now, so the direction comes from the status and the
// supplies: on battery every pack that is not charging drains, and a pack that is idle or full
// carries no charging current (only its own discharge, where the driver signs one).
double directed(const BatteryPack& p, double milliamps, ExternalPower power) {
  const double magnitude = std::fabs(milliamps);
  if (p.hasStatus("Charging")) return magnitude;
  if (p.hasStatus("Discharging") || power == ExternalPower::offline) return -magnitude;
  if (p.hasStatus("Not charging") || p.hasStatus("Full")) return std::min(milliamps, 0.0);
  return magnitude;
}

std::optional<std::string> cleanText(const PowerSupply& b, const char* attribute) {
  const auto text = b.get(attribute);
  if (!text) return std::nullopt;
  std::string clean = brimwell::printableUtf8(*text);
  return clean.empty() ? std::nullopt : std::optional<std::string>(std::move(clean));
}

// Level, charge now and full charge, each worked out from the others where the driver leaves
// one out, so that now/full is the level.
void readCharge(const PowerSupply& b, std::optional<int64_t> volts, BatteryPack& p) {
  const auto now = capacity(b, "charge_now", "energy_now", volts);
  const auto full = positive(capacity(b, "charge_full", "energy_full", volts));
  p.design = positive(capacity(b, "charge_full_design", "energy_full_design", volts));
  p.full = full ? full : p.design;
  p.now = now;
  p.level = capacityPercent(b);
  if (!p.level) {
    if (now && p.full)
      p.level = std::clamp(100.0 * static_cast<double>(*now) / *p.full, 0.0, 100.0);
    return;
  }
  if (full && now) return;
  if (!p.full) {
    p.full = 100;
    p.percentScale = true;
  }
  p.now = charge(*p.level / 100.0 * static_cast<double>(*p.full));
}

}  // namespace

BatteryPack readBatteryPack(const PowerSupply& b, ExternalPower power) {
  BatteryPack p;
  p.name = b.name;
  p.status = b.get("status");
  const auto volts = conversionVoltage(b);
  readCharge(b, volts, p);
  std::optional<double> milliamps = driverCurrent(b, volts);
  if (milliamps) {
    milliamps = directed(p, *milliamps, power);
    p.current = within32Bits(*milliamps);
  }
  if (volts && !p.percentScale) {
    // mAh times µV is nWh; mA times µV is nW.
    const double scale = static_cast<double>(*volts) / 1e9;
    if (p.now) p.energyWh = static_cast<double>(*p.now) * scale;
    if (p.full) p.fullWh = static_cast<double>(*p.full) * scale;
    if (milliamps) p.powerW = *milliamps * scale;
  }
  p.kernelPercent = capacityPercent(b);
  if (const auto microvolts = number(b, "voltage_now"))
    p.voltage = within32Bits(static_cast<double>(*microvolts) / 1000.0);
  if (const auto tenths = number(b, "temp"))
    p.temperature = within32Bits(static_cast<double>(*tenths) * 10.0);
  if (const auto cycles = positive(number(b, "cycle_count")))
    p.cycles = within32Bits(static_cast<double>(*cycles));
  if (const auto limit = number(b, "charge_control_end_threshold");
      limit && *limit > 0 && *limit <= 100) {
    p.threshold = limit;
  }
  p.manufacturer = cleanText(b, "manufacturer");
  p.serial = cleanText(b, "serial_number");
  return p;
}

bool heldFull(const BatteryPack& p) {
  if (!p.hasStatus("Not charging") || !p.level) return false;
  return *p.level >= (p.threshold ? static_cast<double>(*p.threshold) - 2.0 : 90.0);
}

bool reportsFull(const BatteryPack& p) {
  return p.hasStatus("Full") || heldFull(p);
}

}  // namespace host
