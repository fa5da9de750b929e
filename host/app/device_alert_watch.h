#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/devices/device_alerts.h"
#include "host/devices/device_battery.h"

namespace host {

class DesktopAlerts;

// Where the device warnings go.
struct DeviceAlertOutputs {
  std::function<void(const std::string&)> line;    // each warning, the caller puts the clock
  std::function<void(const std::string&)> notice;  // what went wrong with the settings, once
  DesktopAlerts* desktop = nullptr;                // one notification a device, where there is one
};

// The warnings for the user's other batteries, applied: reads the settings at each new device
// list and when they change, runs the policy, and says what it decides on the desktop and in a
// line. The warnings given are kept in a record beside the status file, which a restarted host
// starts from, so that it does not give them again.
class DeviceAlertWatch {
 public:
  explicit DeviceAlertWatch(DeviceAlertOutputs outputs);

  // The devices as they are now; wallClock in seconds since 1970.
  void onDevices(const std::vector<devices::DeviceBattery>& devices, double wallClock);
  // The settings file changed: the devices as last told are judged by the new settings.
  void onSettings(double wallClock);
  // The wall clock reached a reminder with no new list.
  void onTime(double wallClock);
  // Seconds from now until onTime has a reminder to give; none while none is pending.
  std::optional<double> secondsUntilDue(double wallClock) const;

 private:
  void readSettings();
  void apply(const std::vector<devices::DeviceNotice>& notices);
  void keep();

  DeviceAlertOutputs out_;
  devices::AlertSettings settings_;
  devices::AlertState state_;
  std::vector<devices::DeviceBattery> last_;
  std::set<std::string> said_;  // complaints about the settings, each said once
  std::map<std::string, devices::GivenWarning> kept_;  // as the record holds them
};

}  // namespace host
