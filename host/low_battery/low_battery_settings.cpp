#include "host/low_battery/low_battery_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "common/settings_keys.h"
#include "common/settings_numbers.h"
#include "common/text_format.h"
#include "common/value_conversions.h"

namespace host::low_battery {
namespace {

namespace key = brimwell::setting;

// A real number as a hand-edited file may hold it: a real, an integer, or a string of one; none
// for anything else, NaN included.
std::optional<double> realIn(const brimwell::Plist& value) {
  using Kind = brimwell::Plist::Kind;
  if (value.kind() == Kind::Integer) return brimwell::intValueOf(&value);
  double number = NAN;
  if (value.kind() == Kind::Real) {
    number = value.realValue();
  } else if (value.kind() == Kind::String && !value.text().empty()) {
    char* end = nullptr;
    number = std::strtod(value.text().c_str(), &end);
    if (*end != '\0') return std::nullopt;
  }
  if (std::isnan(number)) return std::nullopt;
  return number;
}

// A whole-number setting; given at all, it counts as a setting of the user's.
void readNumber(const brimwell::Plist& file, const char* name, int low, int high, int& out,
                SettingsReading& r) {
  const brimwell::Plist* value = file.item(name);
  if (value) r.anyGiven = true;
  brimwell::readWholeNumber(value, name, low, high, out, r.complaints);
}

void readAction(const brimwell::Plist& file, SettingsReading& r) {
  Settings& s = r.settings;
  if (const brimwell::Plist* command = file.item(key::kLowActionCommand)) {
    r.anyGiven = true;
    s.command = brimwell::textOf(command).value_or("");
  }
  const brimwell::Plist* value = file.item(key::kLowAction);
  if (!value) return;
  r.anyGiven = true;
  const std::string name = brimwell::textOf(value).value_or("");
  if (const auto action = actionNamed(name)) {
    s.action = *action;
  } else {
    r.complaints.push_back(std::string(key::kLowAction) + " \"" + name +
                           "\" is none of none, suspend, hibernate, hybrid-sleep, poweroff and "
                           "command; taking no action");
  }
  if (s.action == Action::command && s.command.empty()) {
    s.action = Action::none;
    r.complaints.push_back(std::string(key::kLowAction) + " command without a " +
                           key::kLowActionCommand + "; taking no action");
  }
}

}  // namespace

SleepDrainAlert readSleepDrainAlert(const brimwell::Plist& file) {
  SleepDrainAlert alert;
  const brimwell::Plist* value = file.item(key::kSleepDrainAlert);
  if (!value) return alert;
  const std::string name = key::kSleepDrainAlert;
  const std::string fallback = brimwell::shortestDecimal(alert.percentPerHour);
  const std::optional<double> given = realIn(*value);
  if (!given) {
    alert.complaint = name + " \"" + brimwell::textOf(value).value_or("") +
                      "\" is not a number; using " + fallback;
    return alert;
  }
  alert.percentPerHour = std::clamp(*given, 0.0, 100.0);
  if (alert.percentPerHour != *given) {
    alert.complaint = name + " " + brimwell::shortestDecimal(*given) +
                      " is outside 0 to 100; using " +
                      brimwell::shortestDecimal(alert.percentPerHour);
  }
  return alert;
}

SettingsReading readSettings(const brimwell::Plist& file) {
  SettingsReading r;
  Settings& s = r.settings;
  readNumber(file, key::kLowLevel, 0, 100, s.lowLevel, r);
  readNumber(file, key::kCriticalLevel, 0, 100, s.criticalLevel, r);
  readNumber(file, key::kActionLevel, 0, 100, s.actionLevel, r);
  int delay = static_cast<int>(s.actionDelay), repeat = static_cast<int>(s.repeatMinutes);
  readNumber(file, key::kLowActionDelay, 0, 3600, delay, r);
  int byTime = static_cast<int>(s.lowMinutes);
  readNumber(file, key::kLowRepeatMinutes, 0, 1440, repeat, r);
  readNumber(file, key::kLowMinutes, 0, 1440, byTime, r);
  s.actionDelay = delay;
  s.repeatMinutes = repeat;
  s.lowMinutes = byTime;
  readAction(file, r);
  if (auto order = putInOrder(s)) r.complaints.push_back(std::move(*order));
  return r;
}

}  // namespace host::low_battery
