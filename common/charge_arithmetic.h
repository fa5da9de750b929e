#pragma once

#include <cstdint>

#include "common/api.h"

// The battery arithmetic that the viewer and the plug-in share, each step in the precision the
// device works in; the results at the edges depend on it (530 of 1000 is 52.999996 %).
namespace brimwell {

// part of whole in percent: both as 32-bit floats, divided, then times 100, each step rounded to
// float. NaN for 0 of 0, infinite for a positive part of 0.
COMMON_API float percentOf(int32_t part, int32_t whole);

struct HoursMinutes {
  int32_t hours;
  int32_t minutes;
};

// The time to charge to 80 % of full at the present current, plus an hour for the rest:
// worked in double, narrowed to float (1.4 becomes the float just below it), then whole hours
// and the minutes of the float remainder. The current must not be 0.
COMMON_API HoursMinutes toEightyPercentPlusAnHour(int32_t full, int32_t charge, int32_t milliamps);

// Above 80 %: three minutes a remaining percent, in float.
COMMON_API int32_t trickleMinutes(float percent);

}  // namespace brimwell
