#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace brimwell {

// The one float-to-integer conversion: truncates toward zero, saturates at the int32 limits and
// gives 0 for NaN, as the device's processors do. A bare cast of an out-of-range value is
// undefined behaviour. A float argument widens to double exactly, so this serves both widths.
inline int32_t saturatingTruncate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483649.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace brimwell
