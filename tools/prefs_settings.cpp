#include "tools/prefs_settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/settings_keys.h"
#include "common/value_conversions.h"

namespace prefs {

using brimwell::Plist;
namespace setting = brimwell::setting;

const std::vector<Setting>& settings() {
  static const std::vector<Setting> all = {
      {setting::kChargeMode, Kind::integer,
       "when charging counts as complete: 0 or 1 the charge equals the full-charge capacity, "
       "2 the battery reports itself full, 3 never",
       0, 3},
      {setting::kAlertLevel, Kind::integer,
       "the level alert's percentage, 1 to 99; 0 and 100 switch the level alert off", 0, 100},
      {setting::kIsRepeat, Kind::boolean,
       "while complete, vibrate and sound again at every status change (the dialog still once)"},
      {setting::kIsPopAlert, Kind::boolean, "show the completion dialog"},
      {setting::kIsVibrate, Kind::boolean, "vibrate for both alerts"},
      {setting::kIsSound, Kind::boolean, "play the alert sound for both alerts"},
      {setting::kTextColor, Kind::integer, "the lock-screen line: 2 black, 0 or 1 white", 0, 2},
  };
  return all;
}

const Setting* findSetting(const std::string& key) {
  for (const Setting& s : settings()) {
    if (key == s.key) return &s;
  }
  return nullptr;
}

std::optional<bool> parseBoolean(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "on" || lower == "yes" || lower == "true" || lower == "1") return true;
  if (lower == "off" || lower == "no" || lower == "false" || lower == "0") return false;
  return std::nullopt;
}

std::optional<int32_t> parseInteger(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

Plist valueFor(const Setting& s, const std::string& text, std::string& why) {
  if (s.kind == Kind::boolean) {
    if (const auto b = parseBoolean(text)) return Plist::boolean(*b);
    why = std::string(s.key) + " takes on/off, yes/no, true/false or 1/0, not '" + text + "'";
    return Plist();
  }
  const auto n = parseInteger(text);
  if (n && *n >= s.low && *n <= s.high) return Plist::integer(*n);
  why = std::string(s.key) + " takes a whole number from " + accepted(s) + ", not '" + text +
        "' (see --help)";
  return Plist();
}

std::string accepted(const Setting& s) {
  if (s.kind == Kind::boolean) return "on or off";
  return std::to_string(s.low) + " to " + std::to_string(s.high);
}

std::vector<std::string> describe(const Plist& file) {
  std::vector<std::string> lines;
  for (const Setting& s : settings()) {
    const Plist* value = file.item(s.key);
    std::string shown = s.kind == Kind::boolean ? (brimwell::boolValueOf(value) ? "on" : "off")
                                                : std::to_string(brimwell::intValueOf(value));
    if (!value) shown += " (not set)";
    char line[512];
    std::snprintf(line, sizeof line, "  %-11s %-15s %s", s.key, shown.c_str(), s.meaning);
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> help() {
  std::vector<std::string> lines;
  for (const Setting& s : settings()) {
    char line[512];
    std::snprintf(line, sizeof line, "  %-11s %-10s %s", s.key, accepted(s).c_str(), s.meaning);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace prefs
