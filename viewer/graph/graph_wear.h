#pragma once

#include <string>
#include <vector>

#include "history/history_types.h"
#include "viewer/table/screen_state.h"

// The packs' wear as the health log tells it, a pack's health being its full-charge capacity
// over its design capacity.

// The packs in the machine now: each pack's entries with capacities to go by, oldest first, in
// serial order. A pack last logged more than two days before the latest entry (one taken out)
// and entries more than a day ahead of now (logged under a clock that ran ahead) are passed over.
std::vector<std::vector<history::HealthEntry>> packsNow(
    const std::vector<history::HealthEntry>& log, double now);

// When a pack reaches 80 % of its design capacity at the present pace: a least-squares line
// through its health over time, once its entries span at least 30 days.
struct WearPace {
  enum class Kind { tooShort, reached, around, notWithinTenYears } kind = Kind::tooShort;
  double when = 0;  // for `around`: seconds since 1970
};
WearPace paceToEightyPercent(const std::vector<history::HealthEntry>& pack, double now);

// "Full charge 4080 mAh, 91 % of design; -3.2 % in 183 days; 41 cycles"; empty without entries.
std::string wearLine(const std::vector<history::HealthEntry>& pack, const Localize& localize);
// "80 % of design around 2028-05" (local time), or why there is no such month.
std::string paceLine(const WearPace& pace, const Localize& localize);

// The lines under the graph: each pack's wear and its pace, each pack named by its serial
// where there are several; none without a log.
std::vector<std::string> wearLines(const std::vector<history::HealthEntry>& log, double now,
                                   const Localize& localize);
