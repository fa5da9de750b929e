#include "viewer/bid_battery_info.h"

#include <cmath>

#include "common/charge_arithmetic.h"
#include "common/status_keys.h"
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

std::optional<int32_t> integerIfThere(const NSDictionary& d, const char* name) {
  const NSObjectValue value = d.objectForKey(name);
  if (value.isNil()) return std::nullopt;
  return value.integerValue();
}

void fillLaptopFigures(BIDBatteryInfo& info, const NSDictionary& d) {
  const NSObjectValue state = d.objectForKey(key::kChargingState);
  if (state.isNil()) return;
  LaptopFigures f;
  f.state = state.description().value_or("unknown");
  f.percent = integerIfThere(d, key::kCurrentCapacityPercent);
  f.minutesToEmpty = integerIfThere(d, key::kAvgTimeToEmpty);
  f.minutesToFull = integerIfThere(d, key::kAvgTimeToFull);
  f.powerMilliwatts = integerIfThere(d, key::kBatteryPower);
  f.chargeLimit = integerIfThere(d, key::kChargeLimit);
  info.laptop = std::move(f);
}

}  // namespace

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
