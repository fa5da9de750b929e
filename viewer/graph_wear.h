#pragma once

#include <string>
#include <vector>

#include "history/history_types.h"
#include "viewer/screen_state.h"

// The pack's wear as its health log tells it: the pack is the one of the latest entry, its
// health the full-charge capacity over the design capacity.

// When the pack reaches 80 % of its design capacity at the present pace: a least-squares line
// through its health over time, once the log spans at least 30 days.
struct WearPace {
  enum class Kind { tooShort, reached, around, notWithinTenYears } kind = Kind::tooShort;
  double when = 0;  // for `around`: seconds since 1970
};
WearPace paceToEightyPercent(const std::vector<history::HealthEntry>& log, double now);

// "Full charge 4080 mAh, 91 % of design; -3.2 % in 183 days; 41 cycles"; empty without a log.
std::string wearLine(const std::vector<history::HealthEntry>& log, const Localize& localize);
// "80 % of design around 2028-05" (local time), or why there is no such month.
std::string paceLine(const WearPace& pace, const Localize& localize);
