#include "common/charge_arithmetic.h"

#include "common/saturating_truncate.h"

namespace brimwell {

float percentOf(int32_t part, int32_t whole) {
  return static_cast<float>(part) / static_cast<float>(whole) * 100.0f;
}

HoursMinutes toEightyPercentPlusAnHour(int32_t full, int32_t charge, int32_t milliamps) {
  const double exact = (static_cast<double>(full) * 0.8 - static_cast<double>(charge)) /
                           static_cast<double>(milliamps) +
                       1.0;
  const float hours = static_cast<float>(exact);
  const int32_t whole = saturatingTruncate(hours);
  return HoursMinutes{whole, saturatingTruncate((hours - static_cast<float>(whole)) * 60.0f)};
}

int32_t trickleMinutes(float percent) {
  return saturatingTruncate((100.0f - percent) * 3.0f);
}

}  // namespace brimwell
