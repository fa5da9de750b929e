#include "common/laptop_settings.h"

#include <algorithm>

#include "common/settings_keys.h"

namespace brimwell {
namespace {

// The keys named as defaults; none when the file has no list (or a hand-edited one that is not).
std::vector<std::string> defaultKeys(const Plist& settings) {
  std::vector<std::string> keys;
  const Plist* list = settings.item(setting::kLaptopDefaults);
  if (!list || !list->isArray()) return keys;
  for (size_t i = 0; i < list->size(); ++i) {
    if (list->at(i).kind() == Plist::Kind::String) keys.push_back(list->at(i).text());
  }
  return keys;
}

void setDefaultKeys(Plist& settings, const std::vector<std::string>& keys) {
  Plist list = Plist::newArray();
  for (const std::string& key : keys) list.append(Plist::string(key));
  settings.setItem(setting::kLaptopDefaults, std::move(list));
}

}  // namespace

const Plist& laptopDefaults() {
  static const Plist defaults = [] {
    namespace low = low_battery_default;
    Plist d = Plist::newDictionary();
    // Completion at the battery's own "full", so that a battery held at its charge limit
    // completes; its dialog and sound on.
    d.setItem(setting::kChargeMode, Plist::integer(2));
    d.setItem(setting::kIsPopAlert, Plist::boolean(true));
    d.setItem(setting::kIsSound, Plist::boolean(true));
    d.setItem(setting::kLowLevel, Plist::integer(low::kLowLevel));
    d.setItem(setting::kCriticalLevel, Plist::integer(low::kCriticalLevel));
    d.setItem(setting::kActionLevel, Plist::integer(low::kActionLevel));
    d.setItem(setting::kLowAction, Plist::string(low::kLowAction));
    d.setItem(setting::kLowActionDelay, Plist::integer(low::kLowActionDelay));
    d.setItem(setting::kLowRepeatMinutes, Plist::integer(low::kLowRepeatMinutes));
    d.setItem(setting::kSleepDrainAlert, Plist::real(sleep_default::kSleepDrainAlert));
    return d;
  }();
  return defaults;
}

bool hasLaptopDefaults(const Plist& settings) {
  return settings.item(setting::kLaptopDefaults) != nullptr;
}

std::vector<std::string> fillLaptopDefaults(Plist& settings) {
  std::vector<std::string> filled;
  std::vector<std::string> keys = defaultKeys(settings);
  const Plist& defaults = laptopDefaults();
  for (size_t i = 0; i < defaults.size(); ++i) {
    const std::string& key = defaults.keyAt(i);
    if (settings.item(key)) continue;
    settings.setItem(key, defaults.valueAt(i).copy());
    filled.push_back(key);
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  }
  if (!filled.empty()) setDefaultKeys(settings, keys);
  return filled;
}

bool holdsLaptopDefault(const Plist& settings, std::string_view key) {
  const std::vector<std::string> keys = defaultKeys(settings);
  const Plist* value = settings.item(key);
  const Plist* fallback = laptopDefaults().item(key);
  return value && fallback && *value == *fallback &&
         std::find(keys.begin(), keys.end(), key) != keys.end();
}

void markChosen(Plist& settings, std::string_view key) {
  std::vector<std::string> keys = defaultKeys(settings);
  const auto kept = std::remove(keys.begin(), keys.end(), key);
  if (kept == keys.end()) return;
  keys.erase(kept, keys.end());
  setDefaultKeys(settings, keys);
}

}  // namespace brimwell
