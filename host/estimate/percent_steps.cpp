#include "host/estimate/percent_steps.h"

#include <cmath>

namespace host::estimate {

void PercentStepsLearner::add(const Reading& r) {
  if (r.packs != packs_) {
    *this = PercentStepsLearner{};
    packs_ = r.packs;
  }
  // A full or held battery may pin its percent at the top. (A level worked out from the percent
  // lies on a whole one, and so says nothing.)
  const bool moving = r.state == ChargeState::discharging || r.state == ChargeState::charging;
  if (!r.driverPercent || !moving || !r.energyWh || !r.fullWh) return;
  const double level = *r.energyWh / *r.fullWh * 100;
  const double whole = std::floor(level), fromMiddle = std::fabs(level - whole - 0.5);
  // Clear of a half and of a whole percent; no level (no full charge) is never clear.
  if (!(fromMiddle >= kNearTurn && fromMiddle <= 0.5 - kNearTurn)) return;
  const bool cutFits = *r.driverPercent == whole;
  const bool roundedFits = *r.driverPercent == std::round(level);
  if (!cutFits && !roundedFits) {
    against_ = true;
  } else if (!roundedFits) {
    ++cut_;
  } else if (!cutFits) {
    ++rounded_;
  }
}

PercentSteps PercentStepsLearner::steps() const {
  if (against_ || (cut_ > 0 && rounded_ > 0)) return PercentSteps::unknown;
  if (cut_ >= kAgreeing) return PercentSteps::cuts;
  if (rounded_ >= kAgreeing) return PercentSteps::rounds;
  return PercentSteps::unknown;
}

}  // namespace host::estimate
