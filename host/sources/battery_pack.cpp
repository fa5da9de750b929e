#include "host/sources/battery_pack.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "common/saturating_truncate.h"
#include "common/status_keys.h"
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

// Every figure the status carries is read as a 32-bit number: round, and saturate there.
int64_t within32Bits(double value) {
  return brimwell::saturatingTruncate(std::round(value));
}

// An attribute as a floating-point number in the unit given (the driver's micro-units over
// `per`), when it is there.
std::optional<double> amount(const PowerSupply& b, const char* attribute, double per) {
  const auto value = number(b, attribute);
  if (!value) return std::nullopt;
  return static_cast<double>(*value) / per;
}

std::optional<double> positive(std::optional<double> value) {
  return value && *value > 0 ? value : std::nullopt;
}

// The one voltage (V) that turns energy into charge and power into current, so that a time
// worked out from them is energy over power: the design voltage, else the present one.
std::optional<double> conversionVoltage(const PowerSupply& b) {
  if (const auto design = positive(amount(b, "voltage_min_design", 1e6))) return design;
  return positive(amount(b, "voltage_now", 1e6));
}

// One of now, full and design, as the driver gives it: charge (mAh) and energy (Wh), and the
// charge the energy stands for at the conversion voltage.
struct Quantity {
  std::optional<double> milliampHours, wattHours;
};

Quantity quantity(const PowerSupply& b, const std::string& name, std::optional<double> volts) {
  Quantity q;
  q.milliampHours = amount(b, ("charge_" + name).c_str(), 1e3);
  q.wattHours = amount(b, ("energy_" + name).c_str(), 1e6);
  if (!q.milliampHours && q.wattHours && volts) q.milliampHours = *q.wattHours / *volts * 1e3;
  if (!q.wattHours && q.milliampHours && volts) q.wattHours = *q.milliampHours * *volts / 1e3;
  return q;
}

// The charge of one quantity over another in percent, in whichever unit both are given.
std::optional<double> percentOf(const Quantity& part, const Quantity& whole) {
  for (auto unit : {&Quantity::milliampHours, &Quantity::wattHours}) {
    if (part.*unit && whole.*unit && *(whole.*unit) > 0)
      return std::clamp(100.0 * *(part.*unit) / *(whole.*unit), 0.0, 100.0);
  }
  return std::nullopt;
}

// The driver's own percentage, clamped to 0-100; none when it is not a number, so that a
// garbled file never reads as an empty battery.
std::optional<double> capacityPercent(const PowerSupply& b) {
  const auto text = b.get("capacity");
  if (!text) return std::nullopt;
  char* end = nullptr;
  const double percent = std::strtod(text->c_str(), &end);
  if (end == text->c_str() || *end != '\0' || !std::isfinite(percent)) return std::nullopt;
  return std::clamp(percent, 0.0, 100.0);
}

// The current (mA) and power (W) in the driver's own sign: current_now, its power through the
// conversion voltage; else power_now, its current the power over the voltage shown beside it
// (the conversion voltage where the driver shows none), so that the three agree on the screen.
void driverFlow(const PowerSupply& b, std::optional<double> volts, BatteryPack& p,
                std::optional<double>& milliamps, std::optional<double>& watts) {
  milliamps = amount(b, "current_now", 1e3);
  watts = milliamps ? std::nullopt : amount(b, "power_now", 1e6);
  if (milliamps && volts) watts = *milliamps * *volts / 1e3;
  const auto shown = positive(amount(b, "voltage_now", 1e6));
  if (watts && !milliamps && (shown || volts)) {
    milliamps = *watts / *(shown ? shown : volts) * 1e3;
    p.currentFromPower = true;
  }
}

// Drivers disagree on the sign of current_now, so the direction comes from the status and the
// supplies: on battery every pack that is not charging drains, a pack that is idle or full
// carries no charging current (only its own discharge, where the driver signs one), and where
// nothing says which way it flows the driver's own sign stands.
double directed(const BatteryPack& p, double flow, ExternalPower power) {
  const double magnitude = std::fabs(flow);
  if (p.hasStatus("Charging")) return magnitude;
  if (p.hasStatus("Discharging") || power == ExternalPower::offline) return -magnitude;
  if (p.hasStatus("Not charging") || p.hasStatus("Full")) return std::min(flow, 0.0);
  return flow;
}

std::optional<std::string> cleanText(const PowerSupply& b, const char* attribute) {
  const auto text = b.get(attribute);
  if (!text) return std::nullopt;
  std::string clean = brimwell::printableUtf8(*text);
  return clean.empty() ? std::nullopt : std::optional<std::string>(std::move(clean));
}

// The charges in mAh within 32 bits, all scaled alike where the largest does not fit, so that
// their ratios (the level, the health) stay.
void setCharges(BatteryPack& p, std::optional<double> now, std::optional<double> full,
                std::optional<double> design) {
  double largest = 0;
  for (const auto& value : {now, full, design}) largest = std::max(largest, value.value_or(0));
  const double scale = largest > INT32_MAX ? INT32_MAX / largest : 1.0;
  const auto fit = [&](std::optional<double> value) -> std::optional<int64_t> {
    if (!value) return std::nullopt;
    return std::max<int64_t>(0, within32Bits(*value * scale));
  };
  p.now = fit(now);
  p.full = fit(full);
  p.design = fit(design);
}

// Level, charge now and full charge, each worked out from the others where the driver leaves
// one out, so that now/full is the level: a battery that reports itself full holds its full
// charge, which is then what it holds now; without a full charge, the design's; where the
// driver gives nothing but a percentage, a scale of 100.
void readCharge(const PowerSupply& b, std::optional<double> volts, BatteryPack& p) {
  const Quantity now = quantity(b, "now", volts);
  const Quantity givenFull = quantity(b, "full", volts);
  const Quantity design = quantity(b, "full_design", volts);
  const bool full = p.hasStatus("Full");
  Quantity whole = givenFull;
  if (!positive(whole.milliampHours) && !positive(whole.wattHours))
    whole = full && (now.milliampHours || now.wattHours) ? now : design;
  p.kernelPercent = capacityPercent(b);
  p.level = p.kernelPercent ? p.kernelPercent : percentOf(now, whole);
  // Full is 100 % unless the driver gives nothing but its word: then the word is the level.
  if (full && (p.level || !p.levelWord)) p.level = p.kernelPercent.value_or(100);
  p.fullWh = positive(whole.wattHours);
  std::optional<double> nowMah = now.milliampHours, fullMah = positive(whole.milliampHours);
  // The driver's percentage rules where the charge does not stand on its own.
  const bool derived = fullMah && positive(givenFull.milliampHours) != fullMah;
  if (p.level && fullMah && (!nowMah || (derived && p.kernelPercent))) {
    nowMah = *p.level / 100 * *fullMah;
    p.chargeFromPercent = true;
  }
  if (nowMah && fullMah) nowMah = full ? *fullMah : std::min(*nowMah, *fullMah);
  if (!fullMah && p.level) {
    p.percentScale = true;
    p.chargeFromPercent = true;
    setCharges(p, *p.level, 100.0, std::nullopt);
  } else {
    setCharges(p, nowMah, fullMah, positive(design.milliampHours));
  }
  if (p.level && p.fullWh) p.energyWh = *p.level / 100 * *p.fullWh;
  p.energyFromPercent = true;
  // The driver's own energy wherever it gives one: a pack held full at its charge limit holds
  // what it says, not its percent's share of the full energy.
  if (now.wattHours && p.fullWh) {
    p.energyWh = std::clamp(*now.wattHours, 0.0, *p.fullWh);
    p.energyFromPercent = false;
  }
}

std::optional<int> levelWordOf(const PowerSupply& b) {
  const auto text = b.get("capacity_level");
  if (!text) return std::nullopt;
  const auto& words = brimwell::kLevelWords;
  const auto found = std::find(std::begin(words), std::end(words), *text);
  if (found == std::end(words)) return std::nullopt;
  return static_cast<int>(found - std::begin(words));
}

}  // namespace

BatteryPack readBatteryPack(const PowerSupply& b, ExternalPower power) {
  BatteryPack p;
  p.name = b.name;
  p.status = b.get("status");
  const auto volts = conversionVoltage(b);
  p.levelWord = levelWordOf(b);
  readCharge(b, volts, p);
  p.conversionVolts = volts;
  std::optional<double> milliamps, watts;
  driverFlow(b, volts, p, milliamps, watts);
  if (milliamps) p.current = within32Bits(directed(p, *milliamps, power));
  if (watts) p.powerW = directed(p, *watts, power);
  // 0 V is no reading, as a power or current of 0 is none.
  if (const auto microvolts = number(b, "voltage_now"); microvolts && *microvolts > 0)
    p.voltage = within32Bits(static_cast<double>(*microvolts) / 1000.0);
  if (const auto tenths = number(b, "temp"))
    p.temperature = within32Bits(static_cast<double>(*tenths) * 10.0);
  if (const auto cycles = number(b, "cycle_count"); cycles && *cycles > 0)
    p.cycles = within32Bits(static_cast<double>(*cycles));
  const auto percent = [&](const char* name) -> std::optional<int64_t> {
    const auto value = number(b, name);
    return value && *value > 0 && *value <= 100 ? value : std::nullopt;
  };
  p.threshold = percent("charge_control_end_threshold");
  p.startThreshold = percent("charge_control_start_threshold");
  p.onExternalPower = power == ExternalPower::online;
  p.manufacturer = cleanText(b, "manufacturer");
  p.serial = cleanText(b, "serial_number");
  const auto modelName = cleanText(b, "model_name");
  if (p.manufacturer || modelName) {
    p.model = p.manufacturer && modelName ? *p.manufacturer + " " + *modelName
                                          : p.manufacturer.value_or(modelName.value_or(""));
  }
  return p;
}

bool heldFull(const BatteryPack& p) {
  const bool held = p.hasStatus("Not charging") || (p.hasStatus("Unknown") && p.onExternalPower);
  if (!held || !p.level) return false;
  double from = p.threshold ? static_cast<double>(*p.threshold) - 2.0 : 90.0;
  if (p.threshold && p.startThreshold && *p.startThreshold < *p.threshold)
    from = std::min(from, static_cast<double>(*p.startThreshold));
  return *p.level >= from;
}

bool reportsFull(const BatteryPack& p) {
  return p.hasStatus("Full") || heldFull(p);
}

}  // namespace host
