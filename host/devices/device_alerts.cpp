#include "host/devices/device_alerts.h"

#include <algorithm>
#include <cctype>

namespace host::devices {
namespace {

// Where a device stands against its levels.
enum class Standing { unknown, above, low, critical };

Standing byLevel(int level, const DeviceLevels& levels) {
  if (levels.criticalLevel > 0 && level <= levels.criticalLevel) return Standing::critical;
  if (levels.lowLevel > 0 && level <= levels.lowLevel) return Standing::low;
  return Standing::above;
}

// A device that tells only a word warns at its Low and Critical, as the levels that are on allow.
Standing byWord(LevelWord word, const DeviceLevels& levels) {
  if (word == LevelWord::critical && levels.criticalLevel > 0) return Standing::critical;
  if ((word == LevelWord::critical || word == LevelWord::low) && levels.lowLevel > 0) {
    return Standing::low;
  }
  return Standing::above;
}

Standing standingOf(const DeviceBattery& d, const DeviceLevels& levels) {
  if (d.level) return byLevel(*d.level, levels);
  if (d.word) return byWord(*d.word, levels);
  return Standing::unknown;
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

DeviceNotice noticeOf(const DeviceBattery& d, DeviceNotice::Kind kind) {
  DeviceNotice n;
  n.kind = kind;
  n.id = d.id;
  n.name = d.name;
  n.kindWord = d.kind;
  n.level = d.level;
  return n;
}

void judge(const DeviceBattery& d, const AlertSettings& settings, DeviceMemory& m, double now,
           std::vector<DeviceNotice>& notices) {
  const DeviceLevels levels = settings.levelsFor(d);
  const Standing standing = standingOf(d, levels);
  if (standing == Standing::unknown) {
    m.low = false;
    return;
  }
  // Charged above a level re-arms that level's warning.
  if (standing == Standing::above) m.lowSent = m.criticalSent = false;
  if (standing == Standing::low) m.criticalSent = false;
  const bool charging = d.state == DeviceState::charging || d.state == DeviceState::full;
  if (standing == Standing::above || charging || levels.mute || !d.connected) {
    m.low = false;
    // A disconnected device's warning still holds; one charging, muted or charged does not.
    if (m.shown && d.connected) {
      m.shown = false;
      notices.push_back(noticeOf(d, DeviceNotice::withdraw));
    }
    return;
  }
  m.low = true;
  const AlertStage stage = standing == Standing::critical ? AlertStage::critical : AlertStage::low;
  const bool sent = stage == AlertStage::critical ? m.criticalSent : m.lowSent;
  // A wall clock set back restarts the wait rather than putting it off by as much.
  m.lastSent = std::min(m.lastSent, now);
  const bool remind =
      sent && settings.remindHours > 0 && now - m.lastSent >= settings.remindHours * 3600.0;
  if (sent && !remind) return;
  DeviceNotice n = noticeOf(d, DeviceNotice::warn);
  n.stage = stage;
  n.reminder = remind;
  notices.push_back(std::move(n));
  m.lowSent = true;
  m.criticalSent = m.criticalSent || stage == AlertStage::critical;
  m.lastSent = now;
  m.sentLevel = d.level;
  m.sentWord = d.word;
  m.shown = true;
}

// A warning the host before gave: kept where the device stands at the same or a lower level.
void recall(const DeviceBattery& d, AlertState& state) {
  const auto found = state.before.find(d.id);
  if (found == state.before.end() || (!d.level && !d.word)) return;
  const GivenWarning given = found->second;
  state.before.erase(found);
  const bool higher = (d.level && given.level && *d.level > *given.level) ||
                      (d.word && given.word && *d.word < *given.word);
  if (higher) return;
  DeviceMemory& m = state.devices[d.id];
  m.lowSent = true;
  m.criticalSent = given.stage == AlertStage::critical;
  m.lastSent = given.at;
  m.sentLevel = given.level;
  m.sentWord = given.word;
}

}  // namespace

DeviceLevels AlertSettings::levelsFor(const DeviceBattery& device) const {
  // A serial or an address typed in another case is still that device, as brimwell-prefs takes it.
  for (const auto& given : {device.serial, device.address}) {
    if (!given) continue;
    if (const auto it = devices.find(*given); it != devices.end()) return it->second;
    for (const auto& [key, levels] : devices) {
      if (sameIgnoringCase(key, *given)) return levels;
    }
  }
  if (const auto it = devices.find(device.name); it != devices.end()) return it->second;
  // A name typed as the user remembers it: "keychron k2" is the Keychron K2 the viewer shows.
  for (const auto& [key, levels] : devices) {
    if (sameIgnoringCase(key, device.name)) return levels;
  }
  return DeviceLevels();
}

std::vector<DeviceNotice> devicesNow(const std::vector<DeviceBattery>& devices,
                                     const AlertSettings& settings, AlertState& state, double now) {
  std::vector<DeviceNotice> notices;
  for (const DeviceBattery& d : devices) {
    recall(d, state);
    judge(d, settings, state.devices[d.id], now, notices);
  }
  return notices;
}

std::map<std::string, GivenWarning> givenWarnings(const AlertState& state) {
  std::map<std::string, GivenWarning> given = state.before;
  for (const auto& [id, m] : state.devices) {
    if (!m.lowSent) continue;
    const AlertStage stage = m.criticalSent ? AlertStage::critical : AlertStage::low;
    given[id] = GivenWarning{stage, m.sentLevel, m.sentWord, m.lastSent};
  }
  return given;
}

std::optional<double> nextReminder(const AlertSettings& settings, const AlertState& state) {
  if (settings.remindHours <= 0) return std::nullopt;
  std::optional<double> next;
  for (const auto& [id, m] : state.devices) {
    if (!m.low) continue;  // only a device still low and warnable is reminded
    const double due = m.lastSent + settings.remindHours * 3600.0;
    if (!next || due < *next) next = due;
  }
  return next;
}

}  // namespace host::devices
