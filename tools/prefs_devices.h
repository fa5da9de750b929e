#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"

// Each of the user's other batteries' own settings, under the settings file's devices
// dictionary, keyed by the device's serial or its name: its warning levels and whether it is
// muted.
namespace prefs {

// brimwell-prefs device NAME [lowLevel N|criticalLevel N|mute|unmute|reset].
struct DeviceRequest {
  std::string name;
  std::string change;     // empty: show the device's settings
  brimwell::Plist value;  // for lowLevel and criticalLevel
};

// The request from the operands after "device"; none, with why, when they do not make one.
std::optional<DeviceRequest> parseDeviceRequest(const std::vector<std::string>& operands,
                                                std::string& why);

// Makes the change in the file (an entry left empty is dropped, and so is an empty devices).
void changeDevice(brimwell::Plist& file, DeviceRequest& request);

// The device's settings as the host reads them, one line each: "  lowLevel         15". For a
// device the host has seen (`devicesFile`) by that name, serial or address, the entry it gives it.
std::vector<std::string> describeDevice(const brimwell::Plist& file, const std::string& name,
                                        const brimwell::Plist& devicesFile);

// Every device for show, folded to 80 columns: a heading, then a line for each device the host
// has seen (`devicesFile`, its devices file; nil where it wrote none) with the settings the host
// gives it, and one for each entry of the settings file that is none of those, marked not seen.
std::vector<std::string> describeDevices(const brimwell::Plist& file,
                                         const brimwell::Plist& devicesFile);

// A note when the device's levels stand out of order (the host then uses them sorted).
std::optional<std::string> deviceLevelOrderNote(const brimwell::Plist& file,
                                                const std::string& name);

// A note when a change names no device the host has seen (its devices file, `devicesFile`, holds
// none of that name, serial or address, in any case): the devices it has seen, one line. None
// where it matches one, or where the host has written no devices file.
std::optional<std::string> unseenDeviceNote(const brimwell::Plist& devicesFile,
                                            const std::string& name);

}  // namespace prefs
