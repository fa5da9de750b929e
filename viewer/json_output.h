#pragma once

#include <string>

class BIDBatteryInfo;

struct StatusSummary;

// A text as a JSON string: quoted, escaped, bytes that are not UTF-8 as U+FFFD.
std::string quotedJson(const std::string& text);

// One refresh as a JSON object on one line, for scripts and status bars: the values the screen
// shows, numbers as numbers (the level, health and temperature with the screen's two decimals),
// null where the status lacks the key or the screen shows no number, texts escaped as JSON
// requires; the status file's time and its age at `now` (seconds since 1970).
std::string refreshJson(const std::string& model, const BIDBatteryInfo& info, double now);
std::string summaryJson(const StatusSummary& summary, double now);
