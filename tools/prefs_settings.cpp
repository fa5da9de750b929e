#include "tools/prefs_settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "common/laptop_settings.h"
#include "common/settings_keys.h"
#include "common/text_format.h"
#include "common/value_conversions.h"

namespace prefs {

using brimwell::Plist;
namespace setting = brimwell::setting;
namespace low_battery_default = brimwell::low_battery_default;

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
      {setting::kLowLevel, Kind::integer,
       "on battery, warn at or below this percentage; 0 turns this warning off", 0, 100, "",
       std::to_string(low_battery_default::kLowLevel)},
      {setting::kCriticalLevel, Kind::integer,
       "the critical warning's percentage (urgent); 0 turns it off", 0, 100, "",
       std::to_string(low_battery_default::kCriticalLevel)},
      {setting::kActionLevel, Kind::integer,
       "at or below this percentage, take lowAction after lowActionDelay; 0 turns it off", 0, 100,
       "", std::to_string(low_battery_default::kActionLevel)},
      {setting::kLowAction, Kind::word,
       "what to do at actionLevel: suspend, hibernate, hybrid-sleep and poweroff through "
       "systemd-logind, command runs lowActionCommand",
       0, 0, "none suspend hibernate hybrid-sleep poweroff command",
       low_battery_default::kLowAction},
      {setting::kLowActionCommand, Kind::text,
       "the command line lowAction command runs, through /bin/sh -c", 0, 0, "", "none"},
      {setting::kLowActionDelay, Kind::integer,
       "seconds between announcing the action (with a Cancel button) and taking it", 0, 3600, "",
       std::to_string(low_battery_default::kLowActionDelay)},
      {setting::kLowMinutes, Kind::integer,
       "on battery, warn also when the time to empty falls below these minutes; 0 off", 0, 1440, "",
       std::to_string(low_battery_default::kLowMinutes)},
      {setting::kLowRepeatMinutes, Kind::integer,
       "at or below criticalLevel, warn again this often; 0 never", 0, 1440, "",
       std::to_string(low_battery_default::kLowRepeatMinutes)},
      {setting::kSleepDrainAlert, Kind::real,
       "after a sleep of at least half an hour on battery, notify when it drained more than this "
       "percent an hour (a decimal, such as 2.5); 0 turns it off",
       0, 100, "", brimwell::shortestDecimal(brimwell::sleep_default::kSleepDrainAlert)},
      {setting::kDeviceRemindHours, Kind::integer,
       "a device (mouse, headset...) that stays low is warned again this many hours later; 0 "
       "never",
       0, brimwell::device_alert_default::kMostRemindHours, "",
       std::to_string(brimwell::device_alert_default::kRemindHours)},
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

std::optional<double> parseReal(const std::string& text) {
  // strtod alone would also take blanks, a sign, an exponent, hexadecimal and "inf".
  const size_t digits =
      std::count_if(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  const size_t points = std::count(text.begin(), text.end(), '.');
  if (digits == 0 || points > 1 || digits + points != text.size()) return std::nullopt;
  return std::strtod(text.c_str(), nullptr);
}

// Whether a word is one of a blank-separated list.
bool isOneOf(const std::string& word, const std::string& words) {
  return (" " + words + " ").find(" " + word + " ") != std::string::npos && !word.empty() &&
         word.find(' ') == std::string::npos;
}

Plist valueFor(const Setting& s, const std::string& text, std::string& why) {
  if (s.kind == Kind::word) {
    if (isOneOf(text, s.words)) return Plist::string(text);
    why = std::string(s.key) + " takes one of " + accepted(s) + ", not '" + text + "'";
    return Plist();
  }
  if (s.kind == Kind::text) {
    if (!text.empty()) return Plist::string(text);
    why = std::string(s.key) + " takes a command line (unset it to have none)";
    return Plist();
  }
  if (s.kind == Kind::boolean) {
    if (const auto b = parseBoolean(text)) return Plist::boolean(*b);
    why = std::string(s.key) + " takes on/off, yes/no, true/false or 1/0, not '" + text + "'";
    return Plist();
  }
  if (s.kind == Kind::real) {
    const auto r = parseReal(text);
    if (r && *r >= s.low && *r <= s.high) return Plist::real(*r);
    why = std::string(s.key) + " takes a number from " + accepted(s) + ", not '" + text +
          "' (see --help)";
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
  if (s.kind == Kind::text) return "a command";
  if (s.kind == Kind::word) {
    std::string words = s.words;
    std::replace(words.begin(), words.end(), ' ', '|');
    return words;
  }
  return std::to_string(s.low) + " to " + std::to_string(s.high);
}

// A text as one line: control characters escaped.
std::string oneLine(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += '?';
    } else {
      out += c;
    }
  }
  return out;
}

// The value as the reader reads it.
std::string readingOf(const Setting& s, const Plist* value) {
  switch (s.kind) {
    case Kind::boolean:
      return brimwell::boolValueOf(value) ? "on" : "off";
    case Kind::integer:
      return std::to_string(brimwell::intValueOf(value));
    case Kind::real:
      return oneLine(brimwell::textOf(value).value_or("0"));
    case Kind::word:
      return oneLine(brimwell::textOf(value).value_or(""));
    case Kind::text:
      break;
  }
  return "\"" + oneLine(brimwell::textOf(value).value_or("")) + "\"";
}

// The value as the reader reads it, marked "(default)" where the user has not set it: on a laptop
// an unset key, or one that still holds the default filled in for it, is the laptop's default;
// else the host's own default, or for the plug-in's keys the 0 or off it reads.
std::string shownValue(const Setting& s, const Plist& file, bool laptop) {
  const Plist* value = file.item(s.key);
  const Plist* fallback = brimwell::laptopDefaults().item(s.key);
  if (laptop && fallback && (!value || brimwell::holdsLaptopDefault(file, s.key)))
    return readingOf(s, fallback) + " (default)";
  if (!value && s.unsetMeans) return *s.unsetMeans + " (default)";
  std::string shown = readingOf(s, value);
  if (!value) return shown + " (default)";
  // A hand-edited value the host's own key cannot take as it stands is marked, as the host
  // says it when it reads it.
  std::string why;
  const auto text = brimwell::textOf(value);
  const bool numeric = value->kind() == Plist::Kind::Integer || value->kind() == Plist::Kind::Real;
  if (s.unsetMeans && !(text && valueFor(s, numeric ? shown : *text, why))) {
    shown = oneLine(text.value_or("?")) + " (not used as it stands: see --help)";
  }
  return shown;
}

std::optional<std::string> levelOrderNote(const Plist& file) {
  std::vector<std::pair<const char*, int>> levels;
  for (const Setting& s : settings()) {
    const bool level = std::string(s.key) == setting::kLowLevel ||
                       std::string(s.key) == setting::kCriticalLevel ||
                       std::string(s.key) == setting::kActionLevel;
    if (!level) continue;
    const Plist* value = file.item(s.key);
    levels.emplace_back(s.key, value ? brimwell::intValueOf(value) : std::stoi(*s.unsetMeans));
  }
  int above = INT32_MAX;
  bool ordered = true;
  for (const auto& [key, level] : levels) {
    if (level <= 0) continue;
    ordered = ordered && level <= above;
    above = level;
  }
  if (ordered) return std::nullopt;
  std::string given;
  for (const auto& [key, level] : levels)
    given += (given.empty() ? "" : ", ") + std::string(key) + " " + std::to_string(level);
  return given + " are out of order: the host uses them sorted, low above critical above action";
}

constexpr size_t kColumns = 80;

// A value too long for its column pushes the text right on the first line only.
std::vector<std::string> folded(const std::string& head, const std::string& text,
                                size_t indentation) {
  std::vector<std::string> lines;
  const std::string indent(indentation, ' ');
  std::string line = head;
  bool bare = true;  // no word on this line yet
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (!bare && line.size() + 1 + word.size() > kColumns) {
      lines.push_back(line);
      line = indent;
      bare = true;
    }
    line += (bare ? "" : " ") + word;
    bare = false;
  }
  lines.push_back(line);
  return lines;
}

namespace {

// The keys' column: as wide as the longest key, so that every value starts in one column.
int keyColumn() {
  size_t widest = 0;
  for (const Setting& s : settings()) widest = std::max(widest, std::string(s.key).size());
  return static_cast<int>(widest);
}

// The key and a value in their columns, the meaning folded beside them.
void addRow(std::vector<std::string>& lines, const Setting& s, int width,
            const std::string& value) {
  char head[512];
  const int keys = keyColumn();
  std::snprintf(head, sizeof head, "  %-*s %-*s ", keys, s.key, width, value.c_str());
  const size_t indent = 2 + static_cast<size_t>(keys) + 1 + static_cast<size_t>(width) + 1;
  for (std::string& line : folded(head, s.meaning, indent)) lines.push_back(std::move(line));
}

}  // namespace

std::vector<std::string> describe(const Plist& file, bool laptop) {
  std::vector<std::string> lines;
  for (const Setting& s : settings()) addRow(lines, s, 24, shownValue(s, file, laptop));
  return lines;
}

std::vector<std::string> help() {
  std::vector<std::string> lines;
  for (const Setting& s : settings()) addRow(lines, s, 12, accepted(s));
  return lines;
}

}  // namespace prefs
