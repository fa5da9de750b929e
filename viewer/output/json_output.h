#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class BIDBatteryInfo;

struct StatusSummary;
struct KnownDevice;

// A figure the outputs print with two decimals, as the screen shows it: 62.00.
struct TwoDecimals {
  double value;
};

struct JsonMember;
// A list of objects, each its members in order (their figures printed as the library prints
// them: only a top-level member gets the two decimals).
struct JsonObjects {
  std::vector<std::vector<JsonMember>> objects;
};

// One value of a JSON object the viewer prints: null (none), a flag, a whole number, a figure
// with two decimals, a text, a list of texts, or a list of objects.
using JsonValue = std::variant<std::monostate, bool, int64_t, TwoDecimals, std::string,
                               std::vector<std::string>, JsonObjects>;

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
// The user's other batteries as members of a JSON object each (id, name, kind, level or null,
// level_word or null, state, connected, last_seen as a local time or null).
JsonObjects devicesJson(const std::vector<KnownDevice>& devices);
