#include "host/devices/device_merge.h"

#include <map>
#include <string>

#include "common/device_keys.h"
#include "common/utf8.h"

namespace host::devices {
namespace {

// "usb" and "bluetooth" in that order, each once.
std::string joinedVia(const std::string& a, const std::string& b) {
  std::string joined;
  for (const char* way : {"usb", "bluetooth"}) {
    if (a.find(way) == std::string::npos && b.find(way) == std::string::npos) continue;
    joined += (joined.empty() ? "" : "+") + std::string(way);
  }
  return joined;
}

template <typename T>
void fillIn(std::optional<T>& into, const std::optional<T>& from) {
  if (!into) into = from;
}

void mergeInto(DeviceBattery& into, const DeviceBattery& from) {
  if (into.name.empty()) into.name = from.name;
  if (into.kind == brimwell::device_kind::kOther) into.kind = from.kind;
  // A source that hears the device now beats one that no longer does; else a percent beats a
  // word.
  const bool fresher = from.connected && !into.connected && (from.level || from.word);
  if (fresher || (!into.level && from.level)) {
    into.level = from.level;
    into.word = from.word;
    into.state = from.state;
  }
  if (!into.level) fillIn(into.word, from.word);
  if (into.state == DeviceState::unknown) into.state = from.state;
  into.connected = into.connected || from.connected;
  if (from.lastSeen > into.lastSeen) into.lastSeen = from.lastSeen;
  into.via = joinedVia(into.via, from.via);
  fillIn(into.model, from.model);
  fillIn(into.serial, from.serial);
  fillIn(into.address, from.address);
}

}  // namespace

std::vector<DeviceBattery> mergeDevices(const std::vector<std::vector<DeviceBattery>>& bySource) {
  std::map<std::string, DeviceBattery> byId;
  for (const auto& source : bySource) {
    for (const DeviceBattery& d : source) {
      auto [at, added] = byId.emplace(d.id, d);
      if (!added) mergeInto(at->second, d);
    }
  }
  std::vector<DeviceBattery> merged;
  for (auto& [id, d] : byId) {
    // Any nearby device chooses its own name: no control character reaches a line or a notice.
    d.name = brimwell::printableUtf8(d.name);
    if (d.model) d.model = brimwell::printableUtf8(*d.model);
    merged.push_back(std::move(d));
  }
  return merged;
}

}  // namespace host::devices
