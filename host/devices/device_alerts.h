#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/settings_keys.h"
#include "host/devices/device_battery.h"

// When to warn that one of the user's other batteries runs low: a pure function of the device
// list, the settings and the host's wall clock. A device never takes an action; only the
// machine's own battery does.
namespace host::devices {

// One device's own levels: at or below each, its warning; 0 turns that warning off.
struct DeviceLevels {
  int lowLevel = brimwell::device_alert_default::kLowLevel;
  int criticalLevel = brimwell::device_alert_default::kCriticalLevel;
  bool mute = false;
};

struct AlertSettings {
  // A device that stays low is reminded this often; 0: never.
  int remindHours = brimwell::device_alert_default::kRemindHours;
  // By the user's key for a device: its serial, else its name as shown.
  std::map<std::string, DeviceLevels> devices;
  // The entry for a device (by serial, then by address, then by name), else the defaults.
  DeviceLevels levelsFor(const DeviceBattery& device) const;
};

enum class AlertStage { low, critical };

// What the host is to do for one device.
struct DeviceNotice {
  enum Kind { warn, withdraw } kind = warn;
  std::string id;
  AlertStage stage = AlertStage::low;
  std::string name, kindWord;  // the device's name and kind word, for the text
  std::optional<int> level;    // the percent, where the device tells one
  bool reminder = false;       // the same stage again, after deviceRemindHours
};

// A warning given and not yet re-armed by a charge: the stage, the level or word it was given
// at, and when. What a restarted host keeps of the warnings before it.
struct GivenWarning {
  AlertStage stage = AlertStage::low;
  std::optional<int> level;
  std::optional<LevelWord> word;
  double at = 0;
  bool operator==(const GivenWarning& o) const {
    return stage == o.stage && level == o.level && word == o.word && at == o.at;
  }
};

// What the policy remembers of one device between lists.
struct DeviceMemory {
  bool lowSent = false, criticalSent = false;
  double lastSent = 0;                // wall clock of the last warning
  std::optional<int> sentLevel;       // the level it was given at
  std::optional<LevelWord> sentWord;  // or the word
  bool shown = false;                 // a warning of it is up, to be taken down when it charges
  bool low = false;  // it stood low, warnable, at the last list: a reminder may fall due
};

// By device id. A device gone from the list is remembered, so that a mouse switched off and on
// at the same level is not warned about again.
struct AlertState {
  std::map<std::string, DeviceMemory> devices;
  // The warnings the host before this one gave, by device id, until each device next tells a
  // level: one at the same or a lower level is not given again before its reminder; one that
  // stands higher charged in between, and its crossing is a new one.
  std::map<std::string, GivenWarning> before;
};

// The warnings that hold now, to be kept for a restarted host: each device's last one while it
// is not re-armed, and those from before not yet judged again.
std::map<std::string, GivenWarning> givenWarnings(const AlertState& state);

// The notices for the devices as they are now; `now` is the wall clock, seconds since 1970.
std::vector<DeviceNotice> devicesNow(const std::vector<DeviceBattery>& devices,
                                     const AlertSettings& settings, AlertState& state, double now);

// When a reminder falls due with no new list; none while none is pending.
std::optional<double> nextReminder(const AlertSettings& settings, const AlertState& state);

}  // namespace host::devices
