#include "viewer/graph/graph_days.h"

#include <algorithm>
#include <cmath>
#include <ctime>

using history::Sample;

namespace {

tm localTime(double seconds) {
  const time_t whole = static_cast<time_t>(std::floor(seconds));
  tm local{};
  localtime_r(&whole, &local);
  return local;
}

double midnightOf(tm day) {
  day.tm_hour = day.tm_min = day.tm_sec = 0;
  day.tm_isdst = -1;  // the zone's own rule for that day
  return static_cast<double>(std::mktime(&day));
}

// The sums a day is made of while its samples are read.
struct DaySums {
  DayRange day;
  int samples = 0, powers = 0;
  double levelSum = 0, powerSum = 0, covered = 0, external = 0;
  bool lastExternal = false;

  void add(const Sample& s) {
    day.levelLow = samples ? std::min(day.levelLow, s.level) : s.level;
    day.levelHigh = samples ? std::max(day.levelHigh, s.level) : s.level;
    levelSum += s.level;
    ++samples;
    lastExternal = s.externalPower;
    if (!s.powerW || !std::isfinite(*s.powerW)) return;
    day.powerLow = std::min(day.powerLow.value_or(*s.powerW), *s.powerW);
    day.powerHigh = std::max(day.powerHigh.value_or(*s.powerW), *s.powerW);
    powerSum += *s.powerW;
    ++powers;
  }
  void hold(double seconds, bool externalPower) {
    covered += seconds;
    if (externalPower) external += seconds;
  }
  DayRange finished() {
    day.levelMean = levelSum / samples;
    if (powers) day.powerMean = powerSum / powers;
    day.externalShare = covered > 0 ? external / covered : (lastExternal ? 1 : 0);
    return day;
  }
};

}  // namespace

double localDayStart(double time) {
  return midnightOf(localTime(time));
}

double localDayEnd(double dayStart) {
  tm next = localTime(dayStart);
  ++next.tm_mday;
  return midnightOf(next);
}

std::vector<DayRange> dailyRanges(const std::vector<Sample>& samples, double from, double to,
                                  double joinedWithin) {
  std::vector<DayRange> days;
  std::optional<DaySums> open;
  const Sample* previous = nullptr;
  for (const Sample& s : samples) {
    if (s.time < from || s.time > to || !std::isfinite(s.level)) continue;
    const bool joined = previous && s.time - previous->time <= joinedWithin;
    if (joined)
      open->hold(std::min(s.time, open->day.end) - previous->time, previous->externalPower);
    if (!open || s.time >= open->day.end) {
      // What the last sample held past midnight is the new day's.
      const double carried = joined ? s.time - open->day.end : 0;
      if (open) days.push_back(open->finished());
      open = DaySums();
      open->day.start = localDayStart(s.time);
      open->day.end = localDayEnd(open->day.start);
      open->hold(carried, joined && previous->externalPower);
    }
    open->add(s);
    previous = &s;
  }
  if (open) days.push_back(open->finished());
  return days;
}
