#pragma once

#include <string>

#include "platform/api.h"

namespace platform {

// Whether this process runs on a simulated device (SIM_DEVICE_ROOT) rather than in the user's
// own places.
PLATFORM_API bool onSimulatedDevice();

// Makes root the simulated device of this process and of the programs it starts, with the
// installed plug-ins and alert sound: its plug-in folder and sound folder are links to the
// install's, made anew each time so that a moved install is still found (a real folder put there
// instead is left as it is). False, with why, when the device cannot be laid out.
PLATFORM_API bool useSimulatedDevice(const std::string& root, std::string* why = nullptr);

}  // namespace platform
