#pragma once

#include <optional>
#include <string>

#include "host/low_battery/low_battery_policy.h"

namespace host::low_battery {

// A warning as the user reads it, in the language the plug-in would choose (exactly "zh-Hans",
// exactly "zh-Hant", else English).
struct Message {
  std::string summary;  // "Battery low"
  std::string body;     // "20% left, about 1 h 5 m.", "7% left, about 7 min."
  std::string cancel;   // the Cancel button's text, for an announced action
};

// For an act event, what was done: "Suspended at 2%."
Message messageFor(const Event& event, const Settings& settings, const std::string& language);

// The headless line for an event, without the clock: "low-battery low 20%, about 1 h 5 m left",
// "low-battery action suspend in 60 s", "low-battery action cancelled".
std::string lineFor(const Event& event, const Settings& settings, double now);

// The summary of a notification that says the action could not be taken.
std::string failureSummary(const std::string& language);

// The line when the action could not be taken: "low-battery action suspend failed: why".
std::string failureLine(Action action, const std::string& why);

}  // namespace host::low_battery
