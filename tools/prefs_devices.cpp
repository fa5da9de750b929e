#include "tools/prefs_devices.h"

#include <algorithm>
#include <cctype>

#include "common/device_keys.h"
#include "common/device_naming.h"
#include "common/settings_keys.h"
#include "common/text_format.h"
#include "common/value_conversions.h"
#include "tools/prefs_settings.h"

namespace prefs {
namespace {

using brimwell::Plist;
namespace setting = brimwell::setting;
namespace device_default = brimwell::device_alert_default;

const Setting kLow{
    setting::kLowLevel, Kind::integer, "", 0, 100, "", std::to_string(device_default::kLowLevel)};
const Setting kCritical{setting::kCriticalLevel,
                        Kind::integer,
                        "",
                        0,
                        100,
                        "",
                        std::to_string(device_default::kCriticalLevel)};

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// The first key, in sorted order, that is the text but for case.
std::optional<std::string> keyIgnoringCase(const Plist& devices, const std::string& text) {
  std::optional<std::string> found;
  for (size_t i = 0; i < devices.size(); ++i) {
    const std::string& key = devices.keyAt(i);
    if (sameIgnoringCase(key, text) && (!found || key < *found)) found = key;
  }
  return found;
}

// The entry the host takes for a name: its own, else the first (in sorted order) whose name is
// the same but for case, as the host matches what the user typed.
std::string storedName(const Plist* devices, const std::string& name) {
  if (!devices || !devices->isDictionary() || devices->item(name)) return name;
  return keyIgnoringCase(*devices, name).value_or(name);
}

const Plist* entryOf(const Plist& file, const std::string& name) {
  const Plist* devices = file.item(setting::kDevices);
  return devices && devices->isDictionary() ? devices->item(storedName(devices, name)) : nullptr;
}

// A level as the host reads it: the entry's own, its default where absent, and a value the host
// cannot take as it stands marked so.
std::string shownLevel(const Setting& s, const Plist* entry) {
  const Plist* value = entry && entry->isDictionary() ? entry->item(s.key) : nullptr;
  if (!value) return *s.unsetMeans + " (default)";
  std::string why;
  const bool numeric = value->kind() == Plist::Kind::Integer;
  const std::string text =
      numeric ? std::to_string(brimwell::intValueOf(value)) : brimwell::textOf(value).value_or("?");
  if (valueFor(s, text, why)) return text;
  return text + " (not used as it stands: see --help)";
}

std::string shownMute(const Plist* entry) {
  const Plist* value = entry && entry->isDictionary() ? entry->item(setting::kMute) : nullptr;
  if (!value) return "off (default)";
  if (value->kind() != Plist::Kind::Boolean) return "off (not true or false: not used)";
  return value->booleanValue() ? "on" : "off";
}

// The device's line: who, then its settings as the host reads them, folded to 80 columns
// between settings, never inside one.
void addDeviceLines(std::vector<std::string>& lines, const std::string& who, const Plist* entry) {
  const std::string settings[] = {"lowLevel " + shownLevel(kLow, entry) + ",",
                                  "criticalLevel " + shownLevel(kCritical, entry) + ",",
                                  "mute " + shownMute(entry)};
  std::string line = "  " + who + ":";
  for (const std::string& setting : settings) {
    if (line.size() + 1 + setting.size() > 80) {
      lines.push_back(line);
      line = "   ";
    }
    line += " " + setting;
  }
  lines.push_back(line);
}

// A device in the host's devices file, with what a settings entry may name it by.
struct SeenDevice {
  std::string name, kind;
  std::optional<std::string> serial, address;
};

std::vector<SeenDevice> seenDevices(const Plist& devicesFile) {
  namespace key = brimwell::device_key;
  std::vector<SeenDevice> seen;
  const Plist* devices = devicesFile ? devicesFile.item(key::kDevices) : nullptr;
  for (size_t i = 0; devices && devices->isArray() && i < devices->size(); ++i) {
    const Plist& d = devices->at(i);
    const auto name = brimwell::textOf(d.item(key::kName));
    if (!name) continue;
    seen.push_back({*name, brimwell::textOf(d.item(key::kKind)).value_or(""),
                    brimwell::textOf(d.item(key::kSerial)),
                    brimwell::textOf(d.item(key::kAddress))});
  }
  return seen;
}

// The entry the host gives a device, as it looks for one: by its serial, then its address, then
// its name, each as given, else in any case.
std::optional<std::string> entryFor(const Plist* devices, const SeenDevice& d) {
  if (!devices) return std::nullopt;
  for (const auto& given : {d.serial, d.address, std::optional<std::string>(d.name)}) {
    if (!given) continue;
    if (devices->item(*given)) return given;
    if (auto key = keyIgnoringCase(*devices, *given)) return key;
  }
  return std::nullopt;
}

// Whether the text names the device: its name, serial or address, in any case.
bool namedBy(const SeenDevice& d, const std::string& text) {
  for (const auto& given : {d.serial, d.address, std::optional<std::string>(d.name)}) {
    if (given && sameIgnoringCase(*given, text)) return true;
  }
  return false;
}

// The entry the host gives the seen device that `key` names, where that is another entry: `key`
// is then one the host passes over.
std::optional<std::string> entryOfTheDeviceNamed(const Plist* devices,
                                                 const std::vector<SeenDevice>& seen,
                                                 const std::string& key) {
  for (const SeenDevice& d : seen) {
    if (namedBy(d, key)) return entryFor(devices, d);
  }
  return std::nullopt;
}

int levelOf(const Setting& s, const Plist* entry) {
  const Plist* value = entry && entry->isDictionary() ? entry->item(s.key) : nullptr;
  return value ? brimwell::intValueOf(value) : std::stoi(*s.unsetMeans);
}

}  // namespace

std::optional<DeviceRequest> parseDeviceRequest(const std::vector<std::string>& operands,
                                                std::string& why) {
  const std::string usage = "device takes NAME [lowLevel N|criticalLevel N|mute|unmute|reset]";
  if (operands.empty() || operands.size() > 3) {
    why = usage;
    return std::nullopt;
  }
  DeviceRequest r;
  r.name = operands[0];
  if (r.name.empty()) {
    why = "device takes a device's serial or name as the listing quotes it, not ''";
    return std::nullopt;
  }
  if (operands.size() == 1) return r;
  r.change = operands[1];
  const Setting* level = r.change == kLow.key        ? &kLow
                         : r.change == kCritical.key ? &kCritical
                                                     : nullptr;
  if (!level && r.change != "mute" && r.change != "unmute" && r.change != "reset") {
    why = "unknown device setting '" + r.change +
          "' (lowLevel, criticalLevel, mute, unmute or reset)";
    return std::nullopt;
  }
  if (!level) {
    if (operands.size() == 3) why = "device NAME " + r.change + " takes nothing more";
    return operands.size() == 3 ? std::nullopt : std::optional<DeviceRequest>(std::move(r));
  }
  if (operands.size() != 3) {
    why = "device NAME " + r.change + " takes a whole number from 0 to 100";
    return std::nullopt;
  }
  r.value = valueFor(*level, operands[2], why);
  if (!r.value) return std::nullopt;
  return r;
}

void changeDevice(Plist& file, DeviceRequest& r) {
  const Plist* devices = file.item(setting::kDevices);
  Plist all = devices && devices->isDictionary() ? devices->copy() : Plist::newDictionary();
  r.name = storedName(devices, r.name);  // one entry a device, whatever the case it is typed in
  const Plist* given = all.item(r.name);
  Plist entry = given && given->isDictionary() ? given->copy() : Plist::newDictionary();
  if (r.change == "reset") {
    entry = Plist::newDictionary();
  } else if (r.change == "mute") {
    entry.setItem(setting::kMute, Plist::boolean(true));
  } else if (r.change == "unmute") {
    entry.removeItem(setting::kMute);
  } else {
    entry.setItem(r.change, std::move(r.value));
  }
  if (entry.size() == 0) {
    all.removeItem(r.name);
  } else {
    all.setItem(r.name, std::move(entry));
  }
  if (all.size() == 0) {
    file.removeItem(setting::kDevices);
  } else {
    file.setItem(setting::kDevices, std::move(all));
  }
}

std::vector<std::string> describeDevice(const Plist& file, const std::string& name,
                                        const Plist& devicesFile) {
  const Plist* devices = file.item(setting::kDevices);
  if (devices && !devices->isDictionary()) devices = nullptr;
  const Plist* entry = entryOf(file, name);
  for (const SeenDevice& d : seenDevices(devicesFile)) {
    if (namedBy(d, name)) {
      const auto key = entryFor(devices, d);
      entry = key ? devices->item(*key) : nullptr;
      break;
    }
  }
  return {"  lowLevel         " + shownLevel(kLow, entry),
          "  criticalLevel    " + shownLevel(kCritical, entry),
          "  mute             " + shownMute(entry)};
}

std::vector<std::string> describeDevices(const Plist& file, const Plist& devicesFile) {
  const Plist* devices = file.item(setting::kDevices);
  if (devices && !devices->isDictionary()) devices = nullptr;
  std::vector<std::string> taken;  // the entries the host gives a device it has seen
  std::vector<std::string> lines = {
      "Devices, each with its settings (brimwell-prefs device NAME ...):"};
  const std::vector<SeenDevice> seen = seenDevices(devicesFile);
  for (const SeenDevice& d : seen) {
    const auto key = entryFor(devices, d);
    if (key) taken.push_back(*key);
    addDeviceLines(lines,
                   brimwell::deviceNamed(d.name, d.kind, brimwell::kindTitle(d.kind),
                                         brimwell::quoted(d.name)),
                   key ? devices->item(*key) : nullptr);
  }
  for (size_t i = 0; devices && i < devices->size(); ++i) {
    const std::string& key = devices->keyAt(i);
    if (std::find(taken.begin(), taken.end(), key) != taken.end()) continue;
    const auto other = entryOfTheDeviceNamed(devices, seen, key);
    addDeviceLines(lines,
                   brimwell::quoted(key) + (other ? " (not used: " + brimwell::quoted(*other) +
                                                        " is this device's entry)"
                                                  : " (not seen)"),
                   &devices->valueAt(i));
  }
  if (lines.size() > 1) return lines;
  return {"Devices: none seen, none with settings (brimwell-prefs device NAME ...)"};
}

std::optional<std::string> unseenDeviceNote(const Plist& devicesFile, const std::string& name) {
  const Plist* devices = devicesFile.item(brimwell::device_key::kDevices);
  if (!devices || !devices->isArray()) return std::nullopt;
  std::string seen;
  for (size_t i = 0; i < devices->size(); ++i) {
    const Plist& d = devices->at(i);
    const auto shown = brimwell::textOf(d.item(brimwell::device_key::kName));
    for (const char* key : {brimwell::device_key::kName, brimwell::device_key::kSerial,
                            brimwell::device_key::kAddress}) {
      const auto text = brimwell::textOf(d.item(key));
      if (text && sameIgnoringCase(*text, name)) return std::nullopt;
    }
    if (shown) {
      const std::string kind = brimwell::textOf(d.item(brimwell::device_key::kKind)).value_or("");
      seen +=
          (seen.empty() ? "" : ", ") +
          brimwell::deviceNamed(*shown, kind, brimwell::kindTitle(kind), brimwell::quoted(*shown));
    }
  }
  return "no device \"" + name + "\" seen yet (" +
         (seen.empty() ? std::string("none seen") : "seen: " + seen) + "); kept for when it comes";
}

std::optional<std::string> deviceLevelOrderNote(const Plist& file, const std::string& name) {
  const Plist* entry = entryOf(file, name);
  const int low = levelOf(kLow, entry), critical = levelOf(kCritical, entry);
  if (low <= 0 || critical <= low) return std::nullopt;
  return "device \"" + name + "\": lowLevel " + std::to_string(low) + ", criticalLevel " +
         std::to_string(critical) +
         " are out of order: the host uses them sorted, low above critical";
}

}  // namespace prefs
