#include "viewer/table/bid_battery_info.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

#include "common/charge_arithmetic.h"
#include "common/status_keys.h"
#include "common/value_conversions.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/foundation/ns_string.h"

namespace key = brimwell::key;

namespace {
// 0/0 gives a NaN with the sign bit set on x86 and a positive one on the device's processors;
// printf shows the sign, so the device's NaN is what gets formatted.
double asFormatted(float value) {
  return std::isnan(value) ? std::fabs(static_cast<double>(value)) : static_cast<double>(value);
}
}  // namespace

void BIDBatteryInfo::getBatteryInfo() {
  writtenAt =
      NSFileManager::defaultManager().modificationDateOfItemAtPath(brimwell::kBatteryStatusPath);
  NSDictionary status = NSDictionary::dictionaryWithContentsOfFile(brimwell::kBatteryStatusPath);
  // A status that says the battery is gone reads as no status at all.
  const NSObjectValue installed = status.objectForKey(key::kBatteryInstalled);
  batteryGone = !installed.isNil() && !installed.boolValue();
  if (batteryGone) status = NSDictionary();
  fillBatteryInfo(*this, status);
}

namespace {

// One of the host's figures: a number (integer, or a finite real) within [low, high]; none for
// anything else, which a hand-written or foreign file may hold.
std::optional<int32_t> figure(const NSDictionary& d, const char* name, int32_t low, int32_t high) {
  const brimwell::Plist* value = d.contents().item(name);
  if (!value) return std::nullopt;
  const bool number =
      value->kind() == brimwell::Plist::Kind::Integer ||
      (value->kind() == brimwell::Plist::Kind::Real && std::isfinite(value->realValue()));
  if (!number) return std::nullopt;
  const int32_t n = brimwell::intValueOf(value);
  return n >= low && n <= high ? std::optional<int32_t>(n) : std::nullopt;
}

// The host's time: its minutes within the bound it gives them, else not known.
std::optional<int32_t> minutesOf(const NSDictionary& d, const char* name, int32_t longest) {
  if (!d.contents().item(name)) return std::nullopt;
  const auto minutes = figure(d, name, 0, longest);
  return minutes ? minutes : std::optional<int32_t>(brimwell::kUnknownMinutes);
}

void fillLaptopFigures(BIDBatteryInfo& info, const NSDictionary& d) {
  const NSObjectValue state = d.objectForKey(key::kChargingState);
  if (state.isNil()) return;
  LaptopFigures f;
  f.state = state.description().value_or("unknown");
  static const char* const kStates[] = {"charging", "discharging", "full", "not-charging"};
  if (std::find(std::begin(kStates), std::end(kStates), f.state) == std::end(kStates))
    f.state = "unknown";
  f.percent = figure(d, key::kCurrentCapacityPercent, 0, 100);
  f.minutesToEmpty = minutesOf(d, key::kAvgTimeToEmpty, 240 * 60);
  f.minutesToFull = minutesOf(d, key::kAvgTimeToFull, 20 * 60);
  f.powerMilliwatts = figure(d, key::kBatteryPower, INT32_MIN, INT32_MAX);
  f.chargeLimit = figure(d, key::kChargeLimit, 1, 100);
  f.fullOnce = d.objectForKey(key::kChargeFullOnce).boolValue();
  f.energyMilliwattHours = figure(d, key::kBatteryEnergy, 0, INT32_MAX);
  f.energyFullMilliwattHours = figure(d, key::kBatteryEnergyFull, 1, INT32_MAX);
  if (!d.objectForKey(key::kBatteryLevelWord).isNil()) {
    const auto word = d.objectForKey(key::kBatteryLevelWord).description();
    const auto& words = brimwell::kLevelWords;
    const bool known =
        word && std::find(std::begin(words), std::end(words), *word) != std::end(words);
    f.levelWord = known ? *word : brimwell::kUnknownLevelWord;
  }
  info.laptop = std::move(f);
}

}  // namespace

bool holdsAStatus(const BIDBatteryInfo& info) {
  return !info.absentKeys.count(key::kRawCurrentCapacity) ||
         !info.absentKeys.count(key::kRawMaxCapacity) || (info.laptop && info.laptop->levelWord);
}

void fillBatteryInfo(BIDBatteryInfo& info, const NSDictionary& d) {
  info.currentCap = d.objectForKey(key::kRawCurrentCapacity).integerValue();
  info.maxCap = d.objectForKey(key::kRawMaxCapacity).integerValue();
  const int32_t designCapacity = d.objectForKey(key::kDesignCapacity).integerValue();

  const float level = brimwell::percentOf(info.currentCap, info.maxCap);
  info.currentLevel = level > 100.0f ? 100.0f : level;

  // Integer division drops the hundredths toward zero: 3056 -> 30, -250 -> -2, -50 -> 0.
  const int32_t wholeDegrees = d.objectForKey(key::kTemperature).integerValue() / 100;
  info.batteryTemperature = static_cast<float>(wholeDegrees);

  info.instanceCurrent = d.objectForKey(key::kInstantAmperage).integerValue();
  info.batteryHealth = brimwell::percentOf(info.maxCap, designCapacity);

  const int32_t cycleCount = d.objectForKey(key::kCycleCount).integerValue();
  const int32_t voltage = d.objectForKey(key::kVoltage).integerValue();
  const int32_t chargerCurrent = d.objectForKey(key::kAmperage).integerValue();

  info.chargerIsPluggedIn = d.objectForKey(key::kExternalConnected).boolValue();
  info.charging = d.objectForKey(key::kIsCharging).boolValue();
  info.isFullyCharged = d.objectForKey(key::kFullyCharged).boolValue();

  info.levelMsg = NSString::stringWithFormat("%.2f%%", asFormatted(info.currentLevel));
  info.batteryTempMsg =
      NSString::stringWithFormat("%.2f\u2103", asFormatted(info.batteryTemperature));
  info.currentMsg = NSString::stringWithFormat("%d mA", info.instanceCurrent);
  info.healthMsg = NSString::stringWithFormat("%.2f%%", asFormatted(info.batteryHealth));
  info.cycleMsg = NSString::stringWithFormat("%d", cycleCount);
  info.currentCapacityMsg = NSString::stringWithFormat("%d mAh", info.currentCap);
  info.maxMsg = NSString::stringWithFormat("%d mAh", info.maxCap);
  info.designMsg = NSString::stringWithFormat("%d mAh", designCapacity);
  info.voltageMsg = NSString::stringWithFormat("%d mV", voltage);
  info.chargingCurrentMsg = NSString::stringWithFormat("%d mA", chargerCurrent);
  info.manufacturerMsg = d.objectForKey(key::kManufacturer).description().value_or("(null)");
  info.serialNumberMsg = d.objectForKey(key::kSerial).description().value_or("(null)");

  info.absentKeys.clear();
  for (const char* name :
       {key::kRawCurrentCapacity, key::kRawMaxCapacity, key::kDesignCapacity, key::kCycleCount,
        key::kTemperature, key::kInstantAmperage, key::kIsCharging, key::kExternalConnected,
        key::kFullyCharged, key::kVoltage, key::kAmperage, key::kManufacturer, key::kSerial}) {
    if (d.objectForKey(name).isNil()) info.absentKeys.insert(name);
  }
  info.laptop.reset();
  fillLaptopFigures(info, d);
}
