#include "viewer/table/status_summary.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "common/status_keys.h"
#include "viewer/table/bid_battery_info.h"
#include "viewer/table/screen_state.h"

namespace key = brimwell::key;

namespace {

// A float the screen shows with two decimals; none where it shows nan or inf.
std::optional<double> finite(float value) {
  if (!std::isfinite(value)) return std::nullopt;
  return static_cast<double>(value);
}

// The number at the start of one of the reader's texts ("1810 mAh"), which it formatted from a
// 32-bit integer.
int32_t leadingInteger(const std::string& text) {
  return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

// The times: the host's on a laptop's status (65535: it cannot yet tell), else the screen's
// estimate for the way the current flows. A time below zero is no time.
void setTimes(const BIDBatteryInfo& info, StatusSummary& s) {
  if (info.laptop) {
    const auto known = [&](std::optional<int32_t> minutes) -> std::optional<int64_t> {
      if (!minutes || *minutes < 0 || *minutes == brimwell::kUnknownMinutes) return std::nullopt;
      return *minutes;
    };
    s.minutesToEmpty = known(info.laptop->minutesToEmpty);
    s.minutesToFull = known(info.laptop->minutesToFull);
    const std::string& state = info.laptop->state;
    // A level only in a word gives the host nothing to estimate by.
    s.estimating = !info.laptop->levelWord && ((state == "discharging" && !s.minutesToEmpty) ||
                                               (state == "charging" && !s.minutesToFull));
    return;
  }
  if (info.absentKeys.count(key::kInstantAmperage)) return;
  if (const auto estimate = remainingHoursMinutes(info)) {
    const int64_t minutes = int64_t{estimate->hours} * 60 + estimate->minutes;
    if (minutes >= 0) (info.instanceCurrent < 0 ? s.minutesToEmpty : s.minutesToFull) = minutes;
  }
}

}  // namespace

std::string stateOf(const BIDBatteryInfo& info) {
  if (info.laptop) return info.laptop->state;
  if (info.isFullyCharged && info.chargerIsPluggedIn) return "full";
  if (info.charging) return "charging";
  if (info.instanceCurrent < 0 || !info.chargerIsPluggedIn) return "discharging";
  return "not-charging";
}

StatusSummary summarize(const std::string& model, const BIDBatteryInfo& info) {
  StatusSummary s;
  s.model = model;
  s.writtenAt = info.writtenAt;
  const auto has = [&](const char* name) { return !info.absentKeys.count(name); };
  s.hasStatus = holdsAStatus(info);
  const auto ifHas = [&](const char* name, auto value) {
    return has(name) ? std::optional<decltype(value)>(value) : std::nullopt;
  };
  if (s.hasStatus) s.level = finite(info.currentLevel);
  if (info.laptop && info.laptop->percent) s.level = *info.laptop->percent;
  if (has(key::kTemperature)) s.temperature = finite(info.batteryTemperature);
  if (has(key::kDesignCapacity) && has(key::kRawMaxCapacity)) s.health = finite(info.batteryHealth);
  s.current = ifHas(key::kInstantAmperage, info.instanceCurrent);
  s.cycleCount = ifHas(key::kCycleCount, leadingInteger(info.cycleMsg));
  s.capacity = ifHas(key::kRawCurrentCapacity, info.currentCap);
  s.fullCapacity = ifHas(key::kRawMaxCapacity, info.maxCap);
  s.designCapacity = ifHas(key::kDesignCapacity, leadingInteger(info.designMsg));
  s.voltage = ifHas(key::kVoltage, leadingInteger(info.voltageMsg));
  if (info.chargerIsPluggedIn)
    s.chargerCurrent = ifHas(key::kAmperage, leadingInteger(info.chargingCurrentMsg));
  s.chargerConnected = ifHas(key::kExternalConnected, info.chargerIsPluggedIn);
  s.charging = ifHas(key::kIsCharging, info.charging);
  s.fullyCharged = ifHas(key::kFullyCharged, info.isFullyCharged);
  if (has(key::kManufacturer)) s.manufacturer = info.manufacturerMsg;
  if (has(key::kSerial)) s.serial = info.serialNumberMsg;
  setTimes(info, s);
  if (s.hasStatus) s.state = stateOf(info);
  s.laptop = info.laptop.has_value();
  if (info.laptop) {
    if (info.laptop->powerMilliwatts) s.powerW = *info.laptop->powerMilliwatts / 1000.0;
    s.chargeLimit = info.laptop->chargeLimit;
    s.chargeFullOnce = info.laptop->fullOnce;
    const LaptopFigures& f = *info.laptop;
    s.levelWord = f.levelWord;
    if (f.energyMilliwattHours && f.energyFullMilliwattHours) {
      s.energyWh = *f.energyMilliwattHours / 1000.0;
      s.energyFullWh = *f.energyFullMilliwattHours / 1000.0;
    }
  }
  return s;
}

std::string isoLocalTime(double secondsSince1970) {
  const time_t seconds = static_cast<time_t>(std::floor(secondsSince1970));
  tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  const long offset = local.tm_gmtoff / 60;
  char zone[48];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60,
                std::labs(offset) % 60);
  return std::string(text) + zone;
}
