#pragma once

#include <string>
#include <vector>

#include "common/plist.h"
#include "host/devices/device_alerts.h"

namespace host::devices {

// The device warnings' settings a settings file holds, the defaults for what it lacks.
struct AlertSettingsReading {
  AlertSettings settings;
  // What a hand-edited file got wrong and how it is used instead, one line each.
  std::vector<std::string> complaints;
};
AlertSettingsReading readAlertSettings(const brimwell::Plist& file);

}  // namespace host::devices
