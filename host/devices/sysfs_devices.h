#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/devices/device_battery.h"
#include "host/devices/device_kind.h"
#include "power_supply/power_supply.h"

// The user's other batteries in the kernel's power-supply folder: every supply of scope Device.
namespace host::devices {

using power_supply::PowerSupply;

// A device not heard from for longer than this is forgotten.
inline constexpr double kForgottenAfterSeconds = 7 * 24 * 3600.0;

// "aa:bb:cc:dd:ee:ff" anywhere in the text, in upper case; none without one.
std::optional<std::string> bluetoothAddressIn(const std::string& text);

// One supply as a device, read at `now`; none for a supply that is not of scope Device. Only
// what the supply tells: a percent from `capacity`, else a word from `capacity_level`, never a
// percent made from a word; a controller's 100 % before its first report is no level.
std::optional<DeviceBattery> deviceFromSupply(const PowerSupply& supply,
                                              const NodeSurroundings& around, double now);

// The records after a look at `now`: each device read now as read; one read before and not
// now kept as it was, no longer connected (so its last level and when it was seen stay), until
// it has been gone longer than kForgottenAfterSeconds. In the order of the ids.
std::vector<DeviceBattery> carryForward(const std::vector<DeviceBattery>& before,
                                        std::vector<DeviceBattery> read, double now);

// The records with each one of `before` that is no longer among them, kept no longer connected
// (its last level and when it was seen stay) until it has been gone longer than
// kForgottenAfterSeconds at `now`. In the order of the ids.
std::vector<DeviceBattery> keptGone(const std::vector<DeviceBattery>& before,
                                    std::vector<DeviceBattery> records, double now);

// What the kernel shows beside the supply folder/name: the input devices under its device, and
// a sound card on that device or beside it.
NodeSurroundings readSurroundings(const std::string& folder, const std::string& name);

// The devices of one power-supply folder, as of its last look.
class SysfsDevices : public DeviceSource {
 public:
  explicit SysfsDevices(std::string folder) : folder_(std::move(folder)) {}
  // Reads the folder; true when what it knows changed.
  bool look(double now);
  std::vector<DeviceBattery> devices() const override { return records_; }

 private:
  std::string folder_;
  std::vector<DeviceBattery> records_;
};

}  // namespace host::devices
