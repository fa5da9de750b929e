#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>

#include "host/devices/device_battery.h"

// BlueZ's devices as its properties tell of them, decoded without a bus: what the glue in
// bluez_devices.cpp read from org.bluez.Device1 and org.bluez.Battery1, turned into records.
namespace host::devices {

// A property as read: BlueZ's booleans, its integers of every width, its strings and paths.
using PropertyValue = std::variant<bool, long long, std::string>;
using Properties = std::map<std::string, PropertyValue>;

// One of BlueZ's objects as last told: its Device1 properties, and Battery1's while it has one.
struct BluezObject {
  Properties device;
  std::optional<Properties> battery;
};

// The kind from Device1's Icon, else from its Appearance (a GAP appearance value), else other.
std::string bluezKind(const std::string& icon, std::optional<long long> appearance);

// The object's record, when it has a battery and an address; `lastSeen` as the caller kept it.
std::optional<DeviceBattery> bluezBattery(const BluezObject& object, double lastSeen);

// The id an object's record has ("address:AA:BB:..."), or empty without an address.
std::string bluezId(const Properties& device);

// Whether Device1 says the device is connected.
bool bluezConnected(const Properties& device);

// When a device was last heard from: while it is connected its level is current, so any news of
// it (and its going away) is a sighting at `now`; news of a device already away is not.
double bluezSeen(bool wasConnected, bool connected, double previous, double now);

}  // namespace host::devices
