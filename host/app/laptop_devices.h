#pragma once

#include <optional>
#include <string>

#include "common/status_file_watcher.h"
#include "host/app/device_alert_watch.h"
#include "host/app/host_options.h"
#include "host/devices/bluez_devices.h"
#include "host/devices/device_watch.h"
#include "host/sources/battery_source.h"

namespace host {

class SleepWatch;

// The user's other batteries, on a laptop: read at each look at its power-supply folder, on the
// host's clock (the wall clock; in virtual time, the one at the start and the run's own time).
// The watch's lines and notices go where the alerts' do.
class LaptopDevices {
 public:
  LaptopDevices(const HostOptions& options, const BatterySource& source,
                DeviceAlertOutputs outputs);
  ~LaptopDevices();
  LaptopDevices(const LaptopDevices&) = delete;
  LaptopDevices& operator=(const LaptopDevices&) = delete;

  // BlueZ's devices too, on the system bus the sleeps are followed on (real time only).
  void follow(SleepWatch* sleeps);
  void afterTick();

 private:
  // The settings apply as soon as the file changes, not at the device's next change (real time
  // only: a run in virtual time has no run loop to be told on).
  void watchSettings();

  const BatterySource& source_;
  bool virtualTime_;
  double wallAtStart_;
  double now_ = 0;
  DeviceAlertWatch alerts_;
  std::optional<devices::DeviceWatch> watch_;
  std::optional<devices::BluezDevices> bluez_;  // gone before the watch
  std::optional<StatusFileWatcher> settings_;
};

}  // namespace host
