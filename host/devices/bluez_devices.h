#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "host/devices/device_battery.h"

namespace host::bus {
class Connection;
}

namespace host::devices {

// The Bluetooth devices whose batteries BlueZ knows, followed on the host's system-bus
// connection: read whole as BlueZ appears (or is there at the start), then kept by its signals.
// While BlueZ is not running there are none, and nothing is said: a machine without Bluetooth is
// normal, and BlueZ restarting is not every device going.
class BluezDevices : public DeviceSource {
 public:
  // `wallClock`: seconds since 1970, the host's. `changed` is called from the run loop whenever
  // what devices() gives changes.
  BluezDevices(bus::Connection& bus, std::function<double()> wallClock,
               std::function<void()> changed);
  ~BluezDevices() override;
  BluezDevices(const BluezDevices&) = delete;
  BluezDevices& operator=(const BluezDevices&) = delete;

  std::vector<DeviceBattery> devices() const override;
  // From BlueZ leaving the bus (or before it first answers) until it has answered again.
  bool away() const override;

 private:
  struct State;
  // Shared with the answers and signals on their way, which find it gone once this is.
  std::shared_ptr<State> state_;
};

}  // namespace host::devices
