#include "host/devices/device_alert_settings.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <utility>

#include "common/settings_keys.h"
#include "common/value_conversions.h"

namespace host::devices {
namespace {

namespace key = brimwell::setting;
using Kind = brimwell::Plist::Kind;

// A number as a hand-edited file may hold it: an integer, a real, or a string of digits; none
// for anything else, which must not read as 0 (a warning off).
std::optional<int> numberIn(const brimwell::Plist& value) {
  if (value.kind() == Kind::Integer || value.kind() == Kind::Real)
    return brimwell::intValueOf(&value);
  if (value.kind() != Kind::String || value.text().empty()) return std::nullopt;
  char* end = nullptr;
  const long long number = std::strtoll(value.text().c_str(), &end, 10);
  if (*end != '\0' || number < INT32_MIN || number > INT32_MAX) return std::nullopt;
  return static_cast<int>(number);
}

// A whole number within [low, high]: one outside is brought within, one that is no number keeps
// the default, either said. `name` is the key as the complaint names it.
void readNumber(const brimwell::Plist* value, const std::string& name, int low, int high, int& out,
                std::vector<std::string>& complaints) {
  if (!value) return;
  const std::optional<int> number = numberIn(*value);
  if (!number) {
    complaints.push_back(name + " \"" + brimwell::textOf(value).value_or("") +
                         "\" is not a number; using " + std::to_string(out));
    return;
  }
  out = std::clamp(*number, low, high);
  if (out != *number) {
    complaints.push_back(name + " " + std::to_string(*number) + " is outside " +
                         std::to_string(low) + " to " + std::to_string(high) + "; using " +
                         std::to_string(out));
  }
}

DeviceLevels readDevice(const std::string& name, const brimwell::Plist& entry,
                        std::vector<std::string>& complaints) {
  DeviceLevels levels;
  const std::string where = std::string(key::kDevices) + " \"" + name + "\" ";
  if (!entry.isDictionary()) {
    complaints.push_back(where + "is not a dictionary; using the defaults");
    return levels;
  }
  readNumber(entry.item(key::kLowLevel), where + key::kLowLevel, 0, 100, levels.lowLevel,
             complaints);
  readNumber(entry.item(key::kCriticalLevel), where + key::kCriticalLevel, 0, 100,
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
  readNumber(file.item(key::kDeviceRemindHours), key::kDeviceRemindHours, 0,
             brimwell::device_alert_default::kMostRemindHours, s.remindHours, r.complaints);
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
