#include "viewer/table/sleep_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string sleepDuration(double seconds) {
  const long minutes = std::lround(std::max(0.0, seconds) / 60);
  if (minutes < 60) return std::to_string(minutes) + " min";
  return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " m";
}

std::string lastSleepText(const history::SleepEntry& sleep, const Localize& localize) {
  const std::string asleep = sleepDuration(sleep.end - sleep.start);
  if (sleep.externalPower) return asleep + ", " + localize("on external power");
  // Whole percents, as the level moves on a laptop; a change that rounds to none has no sign.
  const long change = std::lround(sleep.levelAfter - sleep.levelBefore);
  const double perHour = std::round(sleep.percentPerHour * 10) / 10;
  char text[96];
  std::snprintf(text, sizeof text, change == 0 ? "%s, %ld %%, %.1f %%/h" : "%s, %+ld %%, %.1f %%/h",
                asleep.c_str(), change, perHour == 0 ? 0.0 : perHour);  // never "-0.0"
  return text;
}
