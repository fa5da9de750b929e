#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/devices/device_battery.h"
#include "host/devices/devices_file.h"
#include "host/devices/sysfs_devices.h"

namespace host::devices {

// The lines a headless host says for the devices that came or went between two merged lists:
// "device added: mouse MX Master 3 (usb)", "device gone: ...", each once.
std::vector<std::string> comingAndGoing(const std::vector<DeviceBattery>& before,
                                        const std::vector<DeviceBattery>& now);

// The list the coming and going is said against: the devices now, but one whose source is away
// (its id in `quiet`) stays as it was said before: it neither came nor went while its source could
// not tell.
std::vector<DeviceBattery> asSaid(const std::vector<DeviceBattery>& saidBefore,
                                  const std::vector<DeviceBattery>& now,
                                  const std::set<std::string>& quiet);

// The system's wall clock, in seconds since 1970, for the host's glue to pass in.
double wallClockNow();

// The laptop host's watch on the user's other batteries: reads the power-supply folder at each
// of the host's looks at it, merges in the other sources it is given, keeps the devices' status
// file and tells whoever listens when the merged list changed. Times are the host's wall clock.
// It starts from the devices the file holds, written by the host before it: a device not seen
// again is kept, no longer connected, for as long as any gone device is.
class DeviceWatch {
 public:
  using Listener = std::function<void(const std::vector<DeviceBattery>&)>;
  using Line = std::function<void(const std::string&)>;

  DeviceWatch(std::string sysfsFolder, Line line, Line notice);
  // Another source of devices, merged before the folder's (its names are the user's: BlueZ),
  // in the order added. It outlives the watch, or is never looked at after it goes.
  void addSource(const DeviceSource* source) {
    sources_.push_back(source);
    toldBy_.emplace_back();
  }
  // Called with the merged list whenever it changed.
  void onChange(Listener listener) { listeners_.push_back(std::move(listener)); }

  // The host looked at the power-supply folder.
  void look(double now);
  // An added source told of a change.
  void sourceChanged(double now) { update(now); }
  const std::vector<DeviceBattery>& devices() const { return merged_; }

 private:
  void update(double now);

  SysfsDevices sysfs_;
  std::vector<const DeviceSource*> sources_;
  std::vector<Listener> listeners_;
  Line line_, notice_;
  DevicesFile file_;
  std::vector<DeviceBattery> merged_;
  std::vector<DeviceBattery> said_;                 // as the coming and going was last said
  std::vector<std::set<std::string>> toldBy_;       // each source's ids, as it last told them
  std::optional<std::vector<DeviceBattery>> told_;  // none before the first look
  std::optional<std::string> failure_;              // the last write's failure, said once
};

}  // namespace host::devices
