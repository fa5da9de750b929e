#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"

// The plug-in's seven settings, as the preferences page offers them, and the host's own
// low-battery settings kept beside them.
namespace prefs {

enum class Kind { integer, real, boolean, word, text };

struct Setting {
  const char* key;
  Kind kind;
  const char* meaning;
  // The numbers accepted: every meaning the plug-in gives the key, and nothing it would misread
  // (an alert at -5 %).
  int32_t low = 0, high = 0;
  // A word setting's choices, separated by blanks.
  const char* words = "";
  // What is used while the key is not set: the host's default; none for the plug-in's own keys,
  // which then read as 0 or off.
  std::optional<std::string> unsetMeans = std::nullopt;
};

const std::vector<Setting>& settings();
const Setting* findSetting(const std::string& key);

// on/off, yes/no, true/false, 1/0, in any letter case.
std::optional<bool> parseBoolean(const std::string& text);
// A decimal integer within 32 bits.
std::optional<int32_t> parseInteger(const std::string& text);
// A decimal number as a person types it: digits with at most one point ("2.5", "0", ".5").
std::optional<double> parseReal(const std::string& text);

// The value to store for a setting, or none with why set when the text does not fit its kind or
// a number is outside the accepted range.
brimwell::Plist valueFor(const Setting& setting, const std::string& text, std::string& why);

// What a setting takes: "0 to 3", "on or off", "none|suspend|...".
std::string accepted(const Setting& setting);

// One setting's value as show gives it: "80" where the user set it, "20 (default)" where not.
std::string shownValue(const Setting& setting, const brimwell::Plist& file, bool laptop);

// Each setting: key, the value the plug-in reads, and what it means, folded to 80 columns. On a
// laptop, a key the user has not set shows the laptop's default.
std::vector<std::string> describe(const brimwell::Plist& file, bool laptop);

// A note when the low-battery levels stand out of order (the host then uses them sorted).
std::optional<std::string> levelOrderNote(const brimwell::Plist& file);

// Each setting for the help: key, what it takes, and what it means, folded to 80 columns.
std::vector<std::string> help();

// The text after the head, folded at blanks to 80 columns, each further line indented by
// `indentation` (a word too long for its line is left whole).
std::vector<std::string> folded(const std::string& head, const std::string& text,
                                size_t indentation);

}  // namespace prefs
