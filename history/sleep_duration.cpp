#include "history/sleep_duration.h"

#include <algorithm>
#include <cmath>

namespace history {

std::string sleepDuration(double seconds) {
  seconds = std::max(0.0, seconds);
  if (seconds < kShortestMeasuredSleep) {
    return std::to_string(static_cast<long>(std::floor(seconds))) + " s";
  }
  const long minutes = std::lround(seconds / 60);
  if (minutes < 60) return std::to_string(minutes) + " min";
  return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " m";
}

}  // namespace history
