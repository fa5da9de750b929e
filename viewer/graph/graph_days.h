#pragma once

#include <optional>
#include <vector>

#include "history/history_types.h"

// One local day of the battery's samples, as the long spans draw it.
struct DayRange {
  double start = 0, end = 0;  // the day's local midnights, seconds since 1970
  double levelLow = 0, levelHigh = 0, levelMean = 0;
  std::optional<double> powerLow, powerHigh, powerMean;  // none: no power that day
  // Of the time the day's samples cover (each holds until the next one within `joinedWithin`),
  // the share on external power; a day of one sample, that sample's.
  double externalShare = 0;
};

// The days from `from` to `to` that hold a sample, in order, each from its local midnight to the
// next (a day of 23 or 25 hours where the clocks change); a day without a sample is left out,
// and the graph shows a gap there.
std::vector<DayRange> dailyRanges(const std::vector<history::Sample>& samples, double from,
                                  double to, double joinedWithin);

// The local midnight that starts the day holding `time`, and the one that ends it.
double localDayStart(double time);
double localDayEnd(double dayStart);
