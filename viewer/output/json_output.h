#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class BIDBatteryInfo;

struct StatusSummary;

// A figure the outputs print with two decimals, as the screen shows it: 62.00.
struct TwoDecimals {
  double value;
};

// One value of a JSON object the viewer prints: null (none), a flag, a whole number, a figure
// with two decimals, a text, or a list of texts.
using JsonValue =
    std::variant<std::monostate, bool, int64_t, TwoDecimals, std::string, std::vector<std::string>>;

struct JsonMember {
  const char* name;
  JsonValue value;
};

// The members as one JSON object on one line, in the order given: texts escaped as JSON
// requires (bytes that are not UTF-8 as U+FFFD), a figure that is not finite as null.
std::string jsonObject(const std::vector<JsonMember>& members);

// One refresh as a JSON object on one line, for scripts and status bars: the values the screen
// shows, numbers as numbers (the level, health and temperature with the screen's two decimals),
// null where the status lacks the key or the screen shows no number; the status file's time
// and its age at `now` (seconds since 1970).
std::string refreshJson(const std::string& model, const BIDBatteryInfo& info, double now);
std::string summaryJson(const StatusSummary& summary, double now);
