#include "host/devices/devices_file.h"

#include <cmath>

#include "common/device_keys.h"
#include "common/dictionary_file.h"
#include "common/value_conversions.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

namespace host::devices {
namespace {

using brimwell::Plist;
namespace key = brimwell::device_key;

}  // namespace

const char* levelWordText(LevelWord word) {
  switch (word) {
    case LevelWord::full:
      return "Full";
    case LevelWord::high:
      return "High";
    case LevelWord::normal:
      return "Normal";
    case LevelWord::low:
      return "Low";
    case LevelWord::critical:
      return "Critical";
  }
  return "Normal";
}

std::optional<LevelWord> levelWordFrom(const std::string& text) {
  for (LevelWord w :
       {LevelWord::full, LevelWord::high, LevelWord::normal, LevelWord::low, LevelWord::critical}) {
    if (text == levelWordText(w)) return w;
  }
  return std::nullopt;
}

namespace {

const char* stateText(DeviceState state) {
  switch (state) {
    case DeviceState::charging:
      return "charging";
    case DeviceState::discharging:
      return "discharging";
    case DeviceState::full:
      return "full";
    case DeviceState::unknown:
      return "unknown";
  }
  return "unknown";
}

void setText(Plist& d, const char* name, const std::optional<std::string>& text) {
  if (text) d.setItem(name, Plist::string(*text));
}

Plist deviceEntry(const DeviceBattery& device) {
  Plist d = Plist::newDictionary();
  d.setItem(key::kId, Plist::string(device.id));
  d.setItem(key::kName, Plist::string(device.name));
  d.setItem(key::kKind, Plist::string(device.kind));
  if (device.level) d.setItem(key::kLevel, Plist::integer(*device.level));
  if (device.word) d.setItem(key::kLevelWord, Plist::string(levelWordText(*device.word)));
  d.setItem(key::kState, Plist::string(stateText(device.state)));
  d.setItem(key::kConnected, Plist::boolean(device.connected));
  d.setItem(key::kLastSeen, Plist::real(device.lastSeen));
  d.setItem(key::kVia, Plist::string(device.via));
  setText(d, key::kModel, device.model);
  setText(d, key::kSerial, device.serial);
  setText(d, key::kAddress, device.address);
  return d;
}

std::optional<std::string> textIn(const Plist& d, const char* name) {
  const Plist* item = d.item(name);
  if (!item || item->kind() != Plist::Kind::String) return std::nullopt;
  return item->text();
}

// One entry as written; none for one without an id, which no writer of ours leaves.
std::optional<DeviceBattery> deviceIn(const Plist& d) {
  DeviceBattery device;
  device.id = textIn(d, key::kId).value_or("");
  if (device.id.empty()) return std::nullopt;
  device.name = textIn(d, key::kName).value_or("");
  device.kind = textIn(d, key::kKind).value_or(brimwell::device_kind::kOther);
  if (const Plist* level = d.item(key::kLevel); level && level->kind() == Plist::Kind::Integer) {
    const int percent = brimwell::intValueOf(level);
    if (percent >= 0 && percent <= 100) device.level = percent;
  }
  device.word = levelWordFrom(textIn(d, key::kLevelWord).value_or(""));
  const std::string state = textIn(d, key::kState).value_or("");
  for (DeviceState s : {DeviceState::charging, DeviceState::discharging, DeviceState::full}) {
    if (state == stateText(s)) device.state = s;
  }
  device.connected = brimwell::boolValueOf(d.item(key::kConnected));
  if (const Plist* seen = d.item(key::kLastSeen); seen && seen->kind() == Plist::Kind::Real) {
    device.lastSeen = seen->realValue();
  }
  device.via = textIn(d, key::kVia).value_or("");
  device.model = textIn(d, key::kModel);
  device.serial = textIn(d, key::kSerial);
  device.address = textIn(d, key::kAddress);
  return device;
}

// The same device but for a time seen that moved on by less than a step while connected.
bool sameButForTimeSeen(const DeviceBattery& before, const DeviceBattery& now) {
  DeviceBattery moved = now;
  moved.lastSeen = before.lastSeen;
  if (moved != before) return false;
  return !now.connected || std::fabs(now.lastSeen - before.lastSeen) < kLastSeenStep;
}

}  // namespace

Plist devicesPlist(const std::vector<DeviceBattery>& devices, double written) {
  Plist list = Plist::newArray();
  for (const DeviceBattery& device : devices) list.append(deviceEntry(device));
  Plist file = Plist::newDictionary();
  file.setItem(key::kDevices, std::move(list));
  file.setItem(key::kWritten, Plist::real(written));
  return file;
}

std::vector<DeviceBattery> devicesIn(const Plist& file) {
  std::vector<DeviceBattery> devices;
  const Plist* list = file.item(key::kDevices);
  if (!list || !list->isArray()) return devices;
  for (size_t i = 0; i < list->size(); ++i) {
    if (!list->at(i).isDictionary()) continue;
    if (auto device = deviceIn(list->at(i))) devices.push_back(std::move(*device));
  }
  return devices;
}

bool worthWriting(const std::optional<std::vector<DeviceBattery>>& written,
                  const std::vector<DeviceBattery>& now) {
  if (!written || written->size() != now.size()) return true;
  for (size_t i = 0; i < now.size(); ++i) {
    if (!sameButForTimeSeen((*written)[i], now[i])) return true;
  }
  return false;
}

DevicesFile::DevicesFile(std::string devicePath) : devicePath_(std::move(devicePath)) {}

std::vector<DeviceBattery> DevicesFile::lastWritten() const {
  return devicesIn(brimwell::readDictionaryFile(platform::deviceFilePath(devicePath_)));
}

bool DevicesFile::write(const std::vector<DeviceBattery>& devices, double now, std::string* why) {
  if (!worthWriting(written_, devices)) return true;
  if (!platform::makeFolderFor(devicePath_, why)) return false;
  const std::string path = platform::deviceFilePath(devicePath_);
  if (!brimwell::writePropertyListAtomically(devicesPlist(devices, now), path, why,
                                             brimwell::kMaxDictionaryFileBytes)) {
    if (why) *why = path + ": " + *why;
    return false;
  }
  written_ = devices;
  return true;
}

}  // namespace host::devices
