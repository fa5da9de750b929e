#include "host/devices/device_alert_settings.h"

#include <optional>
#include <utility>

#include "common/settings_keys.h"
#include "common/settings_numbers.h"
#include "common/value_conversions.h"

namespace host::devices {
namespace {

namespace key = brimwell::setting;
using Kind = brimwell::Plist::Kind;

DeviceLevels readDevice(const std::string& name, const brimwell::Plist& entry,
                        std::vector<std::string>& complaints) {
  DeviceLevels levels;
  const std::string where = std::string(key::kDevices) + " \"" + name + "\" ";
  if (!entry.isDictionary()) {
    complaints.push_back(where + "is not a dictionary; using the defaults");
    return levels;
  }
  brimwell::readWholeNumber(entry.item(key::kLowLevel), where + key::kLowLevel, 0, 100,
                            levels.lowLevel, complaints);
  brimwell::readWholeNumber(entry.item(key::kCriticalLevel), where + key::kCriticalLevel, 0, 100,
                            levels.criticalLevel, complaints);
  if (const brimwell::Plist* mute = entry.item(key::kMute)) {
    if (mute->kind() == Kind::Boolean) {
      levels.mute = mute->booleanValue();
    } else {
      complaints.push_back(where + key::kMute + " \"" + brimwell::textOf(mute).value_or("") +
                           "\" is not true or false; using false");
    }
  }
  // Levels a hand-edited file gives the wrong way round are used sorted, as the battery's are.
  if (levels.lowLevel > 0 && levels.criticalLevel > levels.lowLevel) {
    complaints.push_back(where + key::kLowLevel + " " + std::to_string(levels.lowLevel) + ", " +
                         key::kCriticalLevel + " " + std::to_string(levels.criticalLevel) +
                         " are out of order: using them sorted, low above critical");
    std::swap(levels.lowLevel, levels.criticalLevel);
  }
  return levels;
}

}  // namespace

AlertSettingsReading readAlertSettings(const brimwell::Plist& file) {
  AlertSettingsReading r;
  AlertSettings& s = r.settings;
  brimwell::readWholeNumber(file.item(key::kDeviceRemindHours), key::kDeviceRemindHours, 0,
                            brimwell::device_alert_default::kMostRemindHours, s.remindHours,
                            r.complaints);
  const brimwell::Plist* devices = file.item(key::kDevices);
  if (!devices) return r;
  if (!devices->isDictionary()) {
    r.complaints.push_back(std::string(key::kDevices) +
                           " is not a dictionary; every device uses the defaults");
    return r;
  }
  for (size_t i = 0; i < devices->size(); ++i) {
    s.devices[devices->keyAt(i)] = readDevice(devices->keyAt(i), devices->valueAt(i), r.complaints);
  }
  return r;
}

}  // namespace host::devices
