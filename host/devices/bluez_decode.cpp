#include "host/devices/bluez_decode.h"

#include <cctype>
#include <utility>

#include "common/device_keys.h"

namespace host::devices {
namespace {

template <typename T>
std::optional<T> value(const Properties& properties, const char* name) {
  const auto found = properties.find(name);
  if (found == properties.end()) return std::nullopt;
  if (const T* held = std::get_if<T>(&found->second)) return *held;
  return std::nullopt;
}

std::string text(const Properties& properties, const char* name) {
  return value<std::string>(properties, name).value_or("");
}

// GAP appearance values: the category in the upper ten bits, the sub-category in the lower six.
std::string appearanceKind(long long appearance) {
  namespace kind = brimwell::device_kind;
  switch (appearance) {
    case 0x03C1:
      return kind::kKeyboard;
    case 0x03C2:
      return kind::kMouse;
    case 0x03C3:  // joystick
    case 0x03C4:  // gamepad
      return kind::kController;
    case 0x03C5:  // digitizer tablet
    case 0x03C7:  // digital pen
      return kind::kPen;
    default:
      break;
  }
  // Wearable audio: earbuds, headsets, headphones, neck bands alike.
  if (appearance >> 6 == 0x025) return kind::kHeadset;
  return kind::kOther;
}

}  // namespace

std::string bluezKind(const std::string& icon, std::optional<long long> appearance) {
  namespace kind = brimwell::device_kind;
  static const std::map<std::string, const char*> kIcons = {
      {"input-mouse", kind::kMouse},     {"input-keyboard", kind::kKeyboard},
      {"audio-headset", kind::kHeadset}, {"audio-headphones", kind::kHeadset},
      {"audio-card", kind::kHeadset},    {"input-gaming", kind::kController},
      {"input-tablet", kind::kPen},
  };
  const auto found = kIcons.find(icon);
  if (found != kIcons.end()) return found->second;
  return appearance ? appearanceKind(*appearance) : kind::kOther;
}

std::string bluezId(const Properties& device) {
  std::string address = text(device, "Address");
  if (address.empty()) return "";
  for (char& c : address) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return "address:" + address;
}

bool bluezConnected(const Properties& device) {
  return value<bool>(device, "Connected").value_or(false);
}

std::optional<DeviceBattery> bluezBattery(const BluezObject& object, double lastSeen) {
  const std::string id = bluezId(object.device);
  if (!object.battery || id.empty()) return std::nullopt;
  DeviceBattery record;
  record.id = id;
  record.address = id.substr(std::string("address:").size());
  record.name = text(object.device, "Alias");
  if (record.name.empty()) record.name = text(object.device, "Name");
  if (record.name.empty()) record.name = *record.address;
  record.kind =
      bluezKind(text(object.device, "Icon"), value<long long>(object.device, "Appearance"));
  const auto percentage = value<long long>(*object.battery, "Percentage");
  if (percentage && *percentage >= 0 && *percentage <= 100)
    record.level = static_cast<int>(*percentage);
  record.connected = bluezConnected(object.device);
  record.lastSeen = lastSeen;
  record.via = "bluetooth";
  return record;
}

double bluezSeen(bool wasConnected, bool connected, double previous, double now) {
  return wasConnected || connected ? now : previous;
}

}  // namespace host::devices
