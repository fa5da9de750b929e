#include "host/sources/battery_source.h"

namespace host {

using brimwell::Plist;

SimulatedSource::SimulatedSource(double startPercent, bool charger, double speed, uint32_t seed)
    : BatterySource(speed), battery_(startPercent, charger, seed) {}

std::optional<Plist> SimulatedSource::tick(double realSeconds) {
  battery_.advance(realSeconds * speed());
  sinceDelivery_ += realSeconds;
  if (sinceDelivery_ < kMinimumInterval) return std::nullopt;
  Plist now = battery_.statusDictionary();
  if (!changedNoticeably(lastDelivered_, now)) return std::nullopt;
  lastDelivered_ = now.copy();
  sinceDelivery_ = 0;
  return now;
}

}  // namespace host
