#include "viewer/devices/known_device.h"

#include <cmath>
#include <tuple>

#include "common/device_keys.h"
#include "common/plist.h"
#include "common/value_conversions.h"
#include "platform/foundation/ns_dictionary.h"

namespace key = brimwell::device_key;
using brimwell::Plist;

bool KnownDevice::operator==(const KnownDevice& o) const {
  return std::tie(id, name, kind, level, word, state, connected, lastSeen) ==
         std::tie(o.id, o.name, o.kind, o.level, o.word, o.state, o.connected, o.lastSeen);
}

namespace {

const Plist* itemOf(const Plist& d, const char* name, Plist::Kind kind) {
  const Plist* value = d.item(name);
  return value && value->kind() == kind ? value : nullptr;
}

std::optional<std::string> textOf(const Plist& d, const char* name) {
  const Plist* value = itemOf(d, name, Plist::Kind::String);
  return value ? std::optional(value->text()) : std::nullopt;
}

// Only the words the host writes: anything else would be shown as if a device had said it.
template <size_t N>
std::optional<std::string> oneOf(const Plist& d, const char* name, const char* const (&words)[N]) {
  const auto text = textOf(d, name);
  if (!text) return std::nullopt;
  for (const char* w : words) {
    if (*text == w) return text;
  }
  return std::nullopt;
}

std::optional<int> levelOf(const Plist& d) {
  const Plist* value = itemOf(d, key::kLevel, Plist::Kind::Integer);
  if (!value) return std::nullopt;
  const int32_t n = brimwell::intValueOf(value);  // saturated: far out of range stays out
  return n >= 0 && n <= 100 ? std::optional<int>(n) : std::nullopt;
}

std::optional<double> secondsOf(const Plist& d, const char* name) {
  const Plist* value = d.item(name);
  if (!value) return std::nullopt;
  if (value->kind() == Plist::Kind::Integer)
    return static_cast<double>(brimwell::intValueOf(value));
  if (value->kind() == Plist::Kind::Real && std::isfinite(value->realValue()))
    return value->realValue();
  return std::nullopt;
}

std::optional<KnownDevice> deviceOf(const Plist& d) {
  if (!d.isDictionary()) return std::nullopt;
  static const char* const kKinds[] = {"mouse",      "keyboard", "headset",
                                       "controller", "pen",      "other"};
  static const char* const kWords[] = {"Full", "High", "Normal", "Low", "Critical"};
  static const char* const kStates[] = {"charging", "discharging", "full", "unknown"};
  KnownDevice k;
  k.id = textOf(d, key::kId).value_or("");
  k.name = textOf(d, key::kName).value_or("");
  if (k.name.empty() && k.id.empty()) return std::nullopt;
  if (k.name.empty()) k.name = k.id;
  k.kind = oneOf(d, key::kKind, kKinds).value_or("other");
  k.level = levelOf(d);
  k.word = oneOf(d, key::kLevelWord, kWords);
  k.state = oneOf(d, key::kState, kStates).value_or("unknown");
  if (const Plist* connected = itemOf(d, key::kConnected, Plist::Kind::Boolean))
    k.connected = connected->booleanValue();
  k.lastSeen = secondsOf(d, key::kLastSeen);
  return k;
}

}  // namespace

std::vector<KnownDevice> devicesOf(const Plist& file) {
  std::vector<KnownDevice> out;
  const Plist* list = file.isDictionary() ? file.item(key::kDevices) : nullptr;
  if (!list || !list->isArray()) return out;
  for (size_t i = 0; i < list->size(); ++i) {
    if (auto device = deviceOf(list->at(i))) out.push_back(std::move(*device));
  }
  return out;
}

std::vector<KnownDevice> readKnownDevices() {
  return devicesOf(
      NSDictionary::dictionaryWithContentsOfFile(brimwell::kDevicesStatusPath).contents());
}
