#pragma once

#include <vector>

#include "host/devices/device_battery.h"

namespace host::devices {

// The devices of several sources, each device once: records with the same id (one device seen
// over its receiver and over Bluetooth, or two nodes of one driver) become one. Sources come in
// order of trust in their names (BlueZ, whose alias is the user's, first). The merged record
// takes the first name and kind a source gives, the first percent over any word, connected if
// any is, the latest time seen, and every way it is reached ("usb+bluetooth"). In id order.
std::vector<DeviceBattery> mergeDevices(const std::vector<std::vector<DeviceBattery>>& bySource);

}  // namespace host::devices
