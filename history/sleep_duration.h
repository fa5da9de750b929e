#pragma once

#include <string>

namespace history {

// How long a sleep lasted, as the service's line and the viewer say it: "7 h 12 m", "45 min"
// under an hour, "29 s" under a minute (a failed suspend lasts none).
std::string sleepDuration(double seconds);

// A sleep shorter than this tells no rate: a driver's one step over seconds reads as thousands
// of percent an hour.
inline constexpr double kShortestMeasuredSleep = 60;

}  // namespace history
