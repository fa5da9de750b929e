#include "host/devices/sysfs_devices.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "host/devices/device_kind.h"

namespace host::devices {
namespace {

namespace fs = std::filesystem;

bool isAddressAt(const std::string& text, size_t at) {
  if (at + 17 > text.size()) return false;
  for (size_t i = 0; i < 17; ++i) {
    const char c = text[at + i];
    if (i % 3 == 2 ? c != ':' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// A whole percent 0..100; none for anything else.
std::optional<int> percentOf(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (*end != '\0' || value < 0 || value > 100) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<LevelWord> wordOf(const std::optional<std::string>& text) {
  static const std::map<std::string, LevelWord> words = {{"Full", LevelWord::full},
                                                         {"High", LevelWord::high},
                                                         {"Normal", LevelWord::normal},
                                                         {"Low", LevelWord::low},
                                                         {"Critical", LevelWord::critical}};
  if (!text) return std::nullopt;
  const auto found = words.find(*text);
  if (found == words.end()) return std::nullopt;
  return found->second;
}

DeviceState stateOf(const std::optional<std::string>& status) {
  if (status == "Charging") return DeviceState::charging;
  if (status == "Discharging") return DeviceState::discharging;
  if (status == "Full") return DeviceState::full;
  return DeviceState::unknown;
}

// The PlayStation drivers start their supply at 100 % with status Unknown and correct it at the
// controller's first report.
bool levelNotYetReported(const PowerSupply& supply) {
  const bool playStation = startsWith(supply.name, "ps-controller-battery-") ||
                           startsWith(supply.name, "sony_controller_battery_");
  return playStation && supply.is("capacity", "100") && supply.is("status", "Unknown");
}

void readLevel(const PowerSupply& supply, DeviceBattery& d) {
  if (!levelNotYetReported(supply)) d.level = percentOf(supply.get("capacity"));
  if (!d.level) d.word = wordOf(supply.get("capacity_level"));
}

// The first line of a small file; empty when it cannot be read.
std::string firstLine(const fs::path& path) {
  return power_supply::firstLineOf(path.string()).value_or("");
}

bool hasSound(const fs::path& folder) {
  std::error_code error;
  return fs::is_directory(folder / "sound", error);
}

}  // namespace

std::optional<std::string> bluetoothAddressIn(const std::string& text) {
  for (size_t at = 0; at + 17 <= text.size(); ++at) {
    if (!isAddressAt(text, at)) continue;
    std::string address = text.substr(at, 17);
    for (char& c : address) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return address;
  }
  return std::nullopt;
}

std::optional<DeviceBattery> deviceFromSupply(const PowerSupply& supply,
                                              const NodeSurroundings& around, double now) {
  if (!supply.is("scope", "Device")) return std::nullopt;
  DeviceBattery d;
  const std::optional<std::string> serial = supply.get("serial_number");
  if (serial && !serial->empty()) d.serial = serial;
  // hid-input over Bluetooth gives the device's address as its serial.
  const bool serialIsAddress = d.serial && d.serial->size() == 17 && isAddressAt(*d.serial, 0);
  d.address = bluetoothAddressIn(serialIsAddress ? *d.serial : supply.name);
  // A controller's node is named after its address: BlueZ knows it by that address too.
  if (serialIsAddress || (!d.serial && d.address)) {
    d.id = "address:" + *d.address;
  } else {
    d.id = d.serial ? "serial:" + *d.serial : "supply:" + supply.name;
  }
  const std::optional<std::string> model = supply.get("model_name");
  if (model && !model->empty()) d.model = model;
  d.name = d.model.value_or(supply.name);
  d.kind = kindOf(supply.name, around);
  readLevel(supply, d);
  d.state = stateOf(supply.get("status"));
  d.connected = !supply.is("online", "0");
  d.lastSeen = now;
  d.via = d.address ? "bluetooth" : "usb";
  return d;
}

std::vector<DeviceBattery> carryForward(const std::vector<DeviceBattery>& before,
                                        std::vector<DeviceBattery> read, double now) {
  // A device offline now was last seen when it was last read online.
  for (DeviceBattery& d : read) {
    if (d.connected) continue;
    const auto was = std::find_if(before.begin(), before.end(),
                                  [&](const DeviceBattery& b) { return b.id == d.id; });
    d.lastSeen = was != before.end() ? was->lastSeen : now;
  }
  return keptGone(before, std::move(read), now);
}

std::vector<DeviceBattery> keptGone(const std::vector<DeviceBattery>& before,
                                    std::vector<DeviceBattery> records, double now) {
  for (const DeviceBattery& b : before) {
    const bool there = std::any_of(records.begin(), records.end(),
                                   [&](const DeviceBattery& d) { return d.id == b.id; });
    if (there || now - b.lastSeen > kForgottenAfterSeconds) continue;
    records.push_back(b);
    records.back().connected = false;
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const DeviceBattery& a, const DeviceBattery& b) { return a.id < b.id; });
  return records;
}

NodeSurroundings readSurroundings(const std::string& folder, const std::string& name) {
  NodeSurroundings around;
  const fs::path device = fs::path(folder) / name / "device";
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(device / "input", error)) {
    const fs::path caps = entry.path() / "capabilities";
    around.inputs.push_back({firstLine(entry.path() / "name"), firstLine(caps / "ev"),
                             firstLine(caps / "key"), firstLine(caps / "rel"),
                             firstLine(caps / "abs")});
  }
  // A headset's sound card hangs on the device itself or on a sibling interface of it.
  around.soundCard = hasSound(device) || hasSound(device / "..");
  for (const auto& sibling : fs::directory_iterator(device / ".." / "..", error)) {
    if (around.soundCard) break;
    around.soundCard = hasSound(sibling.path());
  }
  return around;
}

bool SysfsDevices::look(double now) {
  std::vector<DeviceBattery> read;
  for (const PowerSupply& supply : power_supply::readPowerSupplies(folder_)) {
    if (!supply.is("scope", "Device")) continue;
    if (auto d = deviceFromSupply(supply, readSurroundings(folder_, supply.name), now)) {
      read.push_back(std::move(*d));
    }
  }
  std::vector<DeviceBattery> records = carryForward(records_, std::move(read), now);
  if (records == records_) return false;
  records_ = std::move(records);
  return true;
}

}  // namespace host::devices
