#include "host/sources/simulated_battery.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/status_keys.h"
#include "common/value_conversions.h"

namespace host {
namespace {

using brimwell::Plist;
namespace key = brimwell::key;

constexpr double kInternalResistance = 0.15;  // ohm: 1 A lifts the voltage by 150 mV
constexpr double kAmbient = 25;               // degrees Celsius
constexpr double kThermalTime = 600;          // seconds to close most of a temperature gap
constexpr int64_t kEpoch = 1418000000;        // the simulated clock's start, in Unix seconds

// Open-circuit voltage of a phone cell over its charge, 3.45 V empty to 4.35 V full.
double openCircuitVoltage(double fraction) {
  return 3450 + 700 * fraction + 200 * fraction * fraction;
}

}  // namespace

SimulatedBattery::SimulatedBattery(double startPercent, bool chargerConnected, uint32_t seed)
    : charge_(std::clamp(startPercent, 0.0, 100.0) / 100.0 * kFullCapacity),
      charger_(chargerConnected),
      random_(seed) {
  full_ = charger_ && charge_ >= kFullCapacity;
  step(0);
}

void SimulatedBattery::setChargerConnected(bool connected) {
  if (connected == charger_) return;
  charger_ = connected;
  // Unplugged, a full battery starts to drain; plugged in again, it charges until full.
  full_ = charger_ && charge_ >= kFullCapacity;
  step(0);
}

void SimulatedBattery::advance(double seconds) {
  // Whole-second steps keep the taper and the temperature smooth at any speed.
  while (seconds > 0) {
    const double dt = std::min(seconds, 1.0);
    step(dt);
    seconds -= dt;
  }
}

void SimulatedBattery::step(double dt) {
  const double fraction = charge_ / kFullCapacity;
  if (charger_ && !full_) {
    current_ = fraction < kTaperStart
                   ? kChargeCurrent
                   : kChargeCurrent * std::max(0.0, 1.0 - fraction) / (1.0 - kTaperStart);
    if (current_ < kTerminationCurrent) {
      full_ = true;
      charge_ = kFullCapacity;
      current_ = 0;
    }
  } else if (charger_) {
    current_ = 0;  // full: the charger carries the phone
  } else {
    // The phone's draw wanders around 300 mA, between idle and a busy screen.
    std::normal_distribution<double> noise(0.0, 25.0);
    load_ += (300 - load_) * std::min(1.0, 0.01 * dt) + noise(random_) * std::sqrt(dt);
    load_ = std::clamp(load_, 80.0, 700.0);
    current_ = charge_ > 0 ? -load_ : 0;
  }

  charge_ = std::clamp(charge_ + current_ * dt / 3600.0, 0.0, kFullCapacity);
  averageCurrent_ += (current_ - averageCurrent_) * std::min(1.0, dt / 60.0);
  if (dt == 0) averageCurrent_ = current_;

  voltage_ = std::min(4400.0,
                      openCircuitVoltage(charge_ / kFullCapacity) + current_ * kInternalResistance);
  const double amps = current_ / 1000.0;
  const double target = kAmbient + 6 * amps * amps + (isCharging() ? 2 : 0);
  temperature_ += (target - temperature_) * (1 - std::exp(-dt / kThermalTime));
  elapsed_ += dt;
}

Plist SimulatedBattery::statusDictionary() const {
  Plist d = Plist::newDictionary();
  d.setItem(key::kRawCurrentCapacity, Plist::integer(std::lround(charge_)));
  d.setItem(key::kRawMaxCapacity, Plist::integer(std::lround(kFullCapacity)));
  d.setItem(key::kDesignCapacity, Plist::integer(std::lround(kDesignCapacity)));
  d.setItem(key::kCycleCount, Plist::integer(kCycleCount));
  d.setItem(key::kTemperature, Plist::integer(std::lround(temperature_ * 100)));
  d.setItem(key::kInstantAmperage, Plist::integer(std::lround(current_)));
  d.setItem(key::kAmperage, Plist::integer(std::lround(averageCurrent_)));
  d.setItem(key::kVoltage, Plist::integer(std::lround(voltage_)));
  d.setItem(key::kIsCharging, Plist::boolean(isCharging()));
  d.setItem(key::kExternalConnected, Plist::boolean(charger_));
  d.setItem(key::kExternalChargeCapable, Plist::boolean(charger_));
  d.setItem(key::kFullyCharged, Plist::boolean(full_));
  d.setItem(key::kManufacturer, Plist::string("A"));
  d.setItem(key::kSerial, Plist::string("C0142610XQ1GMKPAX"));
  // Keys a real host also puts in, which nobody here reads and which must pass through.
  d.setItem("CurrentCapacity", Plist::integer(std::lround(percent())));
  d.setItem("MaxCapacity", Plist::integer(100));
  d.setItem("BatteryInstalled", Plist::boolean(true));
  d.setItem("AtCriticalLevel", Plist::boolean(percent() < 5));
  d.setItem("UpdateTime", Plist::integer(kEpoch + static_cast<int64_t>(elapsed_)));
  Plist adapter = Plist::newDictionary();
  if (charger_) {
    adapter.setItem("Watts", Plist::integer(5));
    adapter.setItem("Current", Plist::integer(1000));
    adapter.setItem("Voltage", Plist::integer(5000));
    adapter.setItem("Description", Plist::string("usb brick"));
  }
  d.setItem("AdapterDetails", std::move(adapter));
  return d;
}

bool changedNoticeably(const Plist& last, const Plist& now) {
  if (!last.isDictionary()) return true;
  for (const char* flag : {key::kIsCharging, key::kExternalConnected, key::kFullyCharged}) {
    if (brimwell::boolValueOf(last.item(flag)) != brimwell::boolValueOf(now.item(flag)))
      return true;
  }
  const struct {
    const char* key;
    int32_t threshold;
  } values[] = {{key::kRawCurrentCapacity, 1},
                {key::kInstantAmperage, 10},
                {key::kTemperature, 10},
                {key::kVoltage, 5}};
  for (const auto& v : values) {
    const int32_t before = brimwell::intValueOf(last.item(v.key));
    const int32_t after = brimwell::intValueOf(now.item(v.key));
    if (std::abs(static_cast<int64_t>(after) - before) >= v.threshold) return true;
  }
  return false;
}

}  // namespace host
