#include "viewer/table/sleep_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "history/sleep_duration.h"

std::string lastSleepText(const history::SleepEntry& sleep, const Localize& localize) {
  const std::string asleep = history::sleepDuration(sleep.end - sleep.start);
  if (sleep.externalPower) return asleep + ", " + localize("on external power");
  // Whole percents, as the level moves on a laptop; a change that rounds to none has no sign.
  const long change = std::lround(sleep.levelAfter - sleep.levelBefore);
  char text[96];
  std::snprintf(text, sizeof text, change == 0 ? "%s, %ld %%" : "%s, %+ld %%", asleep.c_str(),
                change);
  if (!sleep.percentPerHour) return text;  // too short to tell a rate
  const double perHour = std::round(*sleep.percentPerHour * 10) / 10;
  char rate[32];
  std::snprintf(rate, sizeof rate, ", %.1f %%/h", perHour == 0 ? 0.0 : perHour);  // never "-0.0"
  return text + std::string(rate);
}
