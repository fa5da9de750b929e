#pragma once

#include <string>

class BIDBatteryInfo;

// One refresh as a JSON object on one line, for scripts and status bars: the values the screen
// shows, numbers as numbers (the level, health and temperature with the screen's two decimals;
// null where the screen shows no number), texts escaped as JSON requires.
std::string refreshJson(const std::string& model, const BIDBatteryInfo& info);
