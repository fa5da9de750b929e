#include "host/estimate/charge_estimate.h"

#include <algorithm>
#include <cmath>

namespace host::estimate {

const char* stateWord(ChargeState state) {
  switch (state) {
    case ChargeState::charging:
      return "charging";
    case ChargeState::discharging:
      return "discharging";
    case ChargeState::full:
      return "full";
    case ChargeState::notCharging:
      return "not-charging";
    case ChargeState::unknown:
      break;
  }
  return "unknown";
}

void SteadyRate::restart(const Reading& r) {
  since_ = r.time;
  average_.reset();
  averaged_ = 0;
  energies_.clear();
  moved_.reset();
  strongest_ = 0;
  energyMoves_ = false;
  step_ = 0;
}

void SteadyRate::add(const Reading& r, bool resumed) {
  const bool afresh = !last_ || resumed || r.state != last_->state ||
                      r.externalPower != last_->externalPower || r.packs != last_->packs ||
                      r.time < last_->time;
  if (afresh) restart(r);
  const double dt = last_ ? r.time - last_->time : 0;
  keepForSlope(r, afresh ? nullptr : &*last_);
  last_ = r;
  // A driver that reads exactly 0 does not measure it (a charge that does not move gives no
  // time either way).
  std::optional<double> power = r.powerW;
  if (power && *power == 0) power.reset();
  bool energyLags = false;
  const std::optional<double> went = energyWent(r, power, dt, energyLags);
  if (!power) {
    // A reading the driver missed (a busy gauge) keeps the average; a driver that stopped
    // giving power for longer than the average spans hands over to the energy's slope.
    if (average_ && r.time - lastPowered_ > kTimeConstant) average_.reset();
    return;
  }
  lastPowered_ = r.time;
  // The present power is one moment of a draw that may swing, and readings minutes apart can
  // catch the same phase of it each time: the energy that went rules where it tells.
  if (went && (*went > 0) == (*power > 0)) {
    power = went;
  } else if (energyLags) {
    return;
  }
  if (r.time - since_ < kDistrusted) return;
  if (!average_) {
    average_ = power;
    averaged_ = 1;
    return;
  }
  // Until the average spans its time constant, each reading counts as much as the ones before
  // (a mean), so that no single reading sets it for minutes; then the older ones fade.
  ++averaged_;
  const double weight = std::max(1 - std::exp(-dt / kTimeConstant), 1.0 / averaged_);
  *average_ += weight * (*power - *average_);
}

// The energy that went since it last moved, over half a minute or more: the mean power over
// that time. A driver may update its energy more slowly than it is read; a reading between two
// updates then says nothing (lags).
std::optional<double> SteadyRate::energyWent(const Reading& r, std::optional<double> power,
                                             double dt, bool& lags) {
  if (!r.storeFine || !r.energyWh) return std::nullopt;
  const double strongest = std::max(strongest_, power ? std::fabs(*power) : 0.0);
  if (moved_ && *r.energyWh == moved_->second) {
    strongest_ = strongest;
    lags = energyMoves_ && dt >= kEnergySpan && r.time - moved_->first < kTimeConstant;
    return std::nullopt;
  }
  std::optional<double> went;
  if (moved_ && r.time - moved_->first >= kEnergySpan) {
    went = (*r.energyWh - moved_->second) / (r.time - moved_->first) * 3600;
    // A step that no power read meanwhile could have drawn is the gauge putting its figure right.
    if (std::fabs(*went) > kStepBeyondPower * strongest) went.reset();
  }
  energyMoves_ = energyMoves_ || moved_.has_value();
  moved_ = {r.time, *r.energyWh};
  strongest_ = power ? std::fabs(*power) : 0;
  return went;
}

// Keeps what a slope needs: the newest reading at least the span before now, and after it. A
// store that moves only by whole percents keeps only its steps since the start, each halfway
// between the readings before and after it, and the size of its last step.
void SteadyRate::keepForSlope(const Reading& r, const Reading* before) {
  if (!r.energyWh) return;
  double at = r.time;
  if (!r.storeFine) {
    if (!before || !before->energyWh || *before->energyWh == *r.energyWh) return;
    step_ = std::fabs(*r.energyWh - *before->energyWh);
    at = (before->time + r.time) / 2;
  }
  energies_.emplace_back(at, *r.energyWh);
  while (energies_.size() > 2 && r.time - energies_[1].first >= kSlopeSpan) energies_.pop_front();
}

std::optional<double> SteadyRate::slope() const {
  if (energies_.size() < 2) return std::nullopt;
  const auto& [t0, e0] = energies_.front();
  const auto& [t1, e1] = energies_.back();
  if (t1 - t0 < kSlopeSpan) return std::nullopt;
  double rate = (e1 - e0) / (t1 - t0) * 3600;
  if (!last_->storeFine) {
    // Past its last step the store may have gone up to one more step unseen, and no further.
    const double most = (std::fabs(e1 - e0) + step_) / (last_->time - t0) * 3600;
    rate = std::copysign(std::min(std::fabs(rate), most), rate);
  }
  return rate;
}

std::optional<double> SteadyRate::watts() const {
  const std::optional<double> rate = average_ ? average_ : slope();
  if (!rate || !std::isfinite(*rate)) return std::nullopt;
  const double magnitude = std::fabs(*rate);
  if (magnitude < kLowest || magnitude > kHighest) return std::nullopt;
  return rate;
}

bool SteadyRate::settled() const {
  return last_ && last_->time - since_ >= kTimeConstant;
}

namespace {

// The minutes from a level to a target at the rate, each percent above 80 at the pace past
// charges learned where they did.
double minutesToLevel(double level, double target, double minutesPerPercent,
                      const history::ChargeProfile* learned) {
  if (!learned || learned->charges < kChargesToLearnFrom) {
    return std::max(0.0, target - level) * minutesPerPercent;
  }
  double minutes = 0;
  for (double at = level; at < target;) {
    const double next = std::min(target, std::floor(at) + 1);
    const int step = static_cast<int>(std::floor(at)) - history::ChargeProfile::kFrom;
    const bool known = step >= 0 && step < static_cast<int>(learned->secondsPerPercent.size()) &&
                       learned->secondsPerPercent[step];
    minutes += (next - at) * (known ? *learned->secondsPerPercent[step] / 60 : minutesPerPercent);
    at = next;
  }
  return minutes;
}

}  // namespace

Times timesFor(const Reading& r, std::optional<double> watts,
               const history::ChargeProfile* learned) {
  Times t;
  if (r.state == ChargeState::full && r.externalPower) {
    t.toFullMinutes = 0;
    return t;
  }
  if (!watts || !r.energyWh) return t;
  if (*watts < 0 && r.state == ChargeState::discharging) {
    const double minutes = std::max(0.0, *r.energyWh) / -*watts * 60;
    if (minutes <= kLongestToEmptyMinutes) t.toEmptyMinutes = minutes;
  } else if (*watts > 0 && r.state == ChargeState::charging && r.fullWh && *r.fullWh > 0) {
    const double level = *r.energyWh / *r.fullWh * 100;
    const double minutesPerPercent = *r.fullWh / 100 / *watts * 60;
    const double target = r.targetWh ? *r.targetWh / *r.fullWh * 100 : r.limitPercent.value_or(100);
    const double minutes = minutesToLevel(level, target, minutesPerPercent, learned);
    if (minutes <= kLongestToFullMinutes) t.toFullMinutes = minutes;
  }
  return t;
}

double secondsUntilNextLook(const Reading& r, std::optional<double> watts, bool settled,
                            PercentSteps steps) {
  // Full or held: nothing moves until the charger goes, which the kernel announces.
  if (r.state == ChargeState::full || r.state == ChargeState::notCharging) return kLatestLook;
  if (!settled || !watts || !r.energyWh || !r.fullWh || *r.fullWh <= 0) return kSoonestLook;
  if (!r.driverPercent) steps = PercentSteps::unknown;
  // The level shown turns every `step` percent, `offset` past each whole one.
  const double step = steps == PercentSteps::unknown ? 0.5 : 1;
  const double offset = steps == PercentSteps::rounds ? 0.5 : 0;
  const double past = steps == PercentSteps::unknown ? 0 : kPastTurn;
  const double inSteps = (*r.energyWh / *r.fullWh * 100 - offset) / step;
  double toGo = *watts < 0 ? inSteps - std::floor(inSteps) : std::ceil(inSteps) - inSteps;
  // A fine level on a turn turns next; one in whole percents may have just turned.
  if (toGo <= 1e-9 && !r.storeFine) toGo = 1;
  const double secondsPerStep = *r.fullWh * step / 100 / std::fabs(*watts) * 3600;
  return std::clamp(toGo * secondsPerStep + past, kSoonestLook, kLatestLook);
}

}  // namespace host::estimate
