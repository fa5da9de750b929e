#pragma once

#include <map>
#include <string>

#include "common/plist.h"
#include "host/devices/device_alerts.h"

// The device warnings given, kept beside the status file so that a restarted host (each login)
// does not give them again: a dictionary of dictionaries by device id, each with the stage, the
// level or word it was given at, and when.
namespace host::devices {

inline constexpr const char* kGivenDeviceAlertsPath = "/tmp/brimwellGivenDeviceAlerts.plist";

brimwell::Plist givenPlist(const std::map<std::string, GivenWarning>& given);

// The warnings a record holds; an entry it cannot take is left out (that device may be warned
// about again, which is better than never).
std::map<std::string, GivenWarning> givenIn(const brimwell::Plist& record);

}  // namespace host::devices
