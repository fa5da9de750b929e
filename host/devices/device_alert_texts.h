#pragma once

#include <string>

#include "host/devices/device_alerts.h"

namespace host::devices {

// A device's warning as the user reads it, in the language the plug-in would choose (exactly
// "zh-Hans", exactly "zh-Hant", else English): "Mouse MX Master 3: 9 % left", "Mouse MX Master
// 3: 4 % left, charge it now", "Mouse MX Master 3: battery low" for a device that tells only a
// word.
std::string noticeText(const DeviceNotice& notice, const std::string& language);

// The headless line, in English: "device low: Mouse MX Master 3: 9 % left".
std::string noticeLine(const DeviceNotice& notice);

}  // namespace host::devices
