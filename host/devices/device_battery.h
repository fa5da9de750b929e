#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <vector>

// One of the user's other batteries as the host knows it, from whichever source told of it.
namespace host::devices {

enum class LevelWord { full, high, normal, low, critical };
enum class DeviceState { charging, discharging, full, unknown };

struct DeviceBattery {
  std::string id;    // "serial:<serial>", "address:<AA:BB:..>" (upper case) or "supply:<name>"
  std::string name;  // the user's name: BlueZ's alias, else the model, else the supply's name
  std::string kind;  // a brimwell::device_kind word
  std::optional<int> level;       // 0..100, only where told and known
  std::optional<LevelWord> word;  // where the device tells only a word
  DeviceState state = DeviceState::unknown;
  bool connected = true;
  double lastSeen = 0;  // seconds since 1970: when it was last heard from
  std::string via;      // "usb", "bluetooth" or "usb+bluetooth"
  std::optional<std::string> model, serial, address;
  bool operator==(const DeviceBattery& other) const {
    return std::tie(id, name, kind, level, word, state, connected, lastSeen, via, model, serial,
                    address) == std::tie(other.id, other.name, other.kind, other.level, other.word,
                                         other.state, other.connected, other.lastSeen, other.via,
                                         other.model, other.serial, other.address);
  }
  bool operator!=(const DeviceBattery& other) const { return !(*this == other); }
};

// What tells of devices: a power-supply folder, BlueZ. `devices` is what it knows now.
class DeviceSource {
 public:
  virtual ~DeviceSource() = default;
  virtual std::vector<DeviceBattery> devices() const = 0;
  // Whether it cannot tell of its devices now (BlueZ off the bus): those it last told of neither
  // came nor went meanwhile.
  virtual bool away() const { return false; }
};

}  // namespace host::devices
