#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"
#include "common/settings_keys.h"
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

// The drain over a sleep, in percent an hour, above which the laptop's service notifies at
// resume (0: never), from the file's sleepDrainAlert. Not a low-battery key: it turns no
// warning on. The default where the file holds none or no number; one outside 0 to 100 brought
// within; either said in the complaint, for the host to say once.
struct SleepDrainAlert {
  double percentPerHour = brimwell::sleep_default::kSleepDrainAlert;
  std::optional<std::string> complaint;
};
SleepDrainAlert readSleepDrainAlert(const brimwell::Plist& file);

}  // namespace host::low_battery
