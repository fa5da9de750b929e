#pragma once

#include <string>

#include "history/history_types.h"
#include "viewer/table/screen_state.h"

// The table's line for a sleep: "7 h 12 m, -4 %, 0.6 %/h" ("12 s, -1 %" for one too short to
// tell a rate), or "7 h 12 m, on external power" for one that cost the battery nothing.
std::string lastSleepText(const history::SleepEntry& sleep, const Localize& localize);
