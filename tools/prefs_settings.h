#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"

// The plug-in's seven settings, as the preferences page offers them.
namespace prefs {

enum class Kind { integer, boolean };

struct Setting {
  const char* key;
  Kind kind;
  const char* meaning;
};

const std::vector<Setting>& settings();
const Setting* findSetting(const std::string& key);

// on/off, yes/no, true/false, 1/0, in any letter case.
std::optional<bool> parseBoolean(const std::string& text);
// A decimal integer within 32 bits.
std::optional<int32_t> parseInteger(const std::string& text);

// The value to store for a setting, or none with why set when the text does not fit its kind.
brimwell::Plist valueFor(const Setting& setting, const std::string& text, std::string& why);

// One line per setting: key, the value the plug-in reads, and what it means.
std::vector<std::string> describe(const brimwell::Plist& file);

}  // namespace prefs
