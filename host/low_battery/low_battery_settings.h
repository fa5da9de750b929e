#pragma once

#include <string>
#include <vector>

#include "common/plist.h"
#include "host/low_battery/low_battery_policy.h"

namespace host::low_battery {

// The low-battery settings a settings file holds, the defaults for the keys it lacks.
struct SettingsReading {
  Settings settings;
  bool anyGiven = false;  // the file holds at least one low-battery key
  // What a hand-edited file got wrong and how it is used instead, one line each.
  std::vector<std::string> complaints;
};
SettingsReading readSettings(const brimwell::Plist& file);

}  // namespace host::low_battery
