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
  energyMoves_ = false;
}

void SteadyRate::add(const Reading& r, bool resumed) {
  if (!last_ || resumed || r.state != last_->state || r.externalPower != last_->externalPower ||
      r.time < last_->time) {
    restart(r);
  }
  const double dt = last_ ? r.time - last_->time : 0;
  last_ = r;
  // The energy that went since it last moved, over half a minute or more: the mean power over
  // that time. A driver may update its energy more slowly than it is read; a reading between
  // two updates then says nothing.
  std::optional<double> went;
  bool energyLags = false;
  if (r.storeFine && r.energyWh) {
    if (!moved_) {
      moved_ = {r.time, *r.energyWh};
    } else if (*r.energyWh != moved_->second) {
      const double span = r.time - moved_->first;
      if (span >= kEnergySpan) went = (*r.energyWh - moved_->second) / span * 3600;
      moved_ = {r.time, *r.energyWh};
      energyMoves_ = true;
    } else {
      energyLags = energyMoves_ && dt >= kEnergySpan && r.time - moved_->first < kTimeConstant;
    }
  }
  if (r.energyWh) {
    energies_.emplace_back(r.time, *r.energyWh);
    // Keep what a slope needs: the newest reading at least the span before now, and after it.
    while (energies_.size() > 2 && r.time - energies_[1].first >= kSlopeSpan) energies_.pop_front();
  }
  if (!r.powerW) {
    // A reading the driver missed (a busy gauge) keeps the average; a driver that stopped
    // giving power for longer than the average spans hands over to the energy's slope.
    if (average_ && r.time - lastPowered_ > kTimeConstant) average_.reset();
    return;
  }
  lastPowered_ = r.time;
  // The present power is one moment of a draw that may swing, and readings minutes apart can
  // catch the same phase of it each time: the energy that went rules where it tells.
  double power = *r.powerW;
  if (went && (*went > 0) == (power > 0)) {
    power = *went;
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
  *average_ += weight * (power - *average_);
}

std::optional<double> SteadyRate::watts() const {
  std::optional<double> rate = average_;
  if (!rate && energies_.size() >= 2) {
    const auto& [t0, e0] = energies_.front();
    const auto& [t1, e1] = energies_.back();
    if (t1 - t0 >= kSlopeSpan) rate = (e1 - e0) / (t1 - t0) * 3600;
  }
  if (!rate || !std::isfinite(*rate)) return std::nullopt;
  const double magnitude = std::fabs(*rate);
  if (magnitude < kLowest || magnitude > kHighest) return std::nullopt;
  return rate;
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

double secondsUntilNextLook(const Reading& r, std::optional<double> watts) {
  // Full or held: nothing moves until the charger goes, which the kernel announces.
  if (r.state == ChargeState::full || r.state == ChargeState::notCharging) return kLatestLook;
  if (!watts || !r.energyWh || !r.fullWh || *r.fullWh <= 0) return kSoonestLook;
  const double level = *r.energyWh / *r.fullWh * 100;
  // The part of a percent still to go before the level crosses the next whole percent.
  double toGo = *watts < 0 ? level - std::floor(level) : std::ceil(level) - level;
  if (toGo <= 1e-9) toGo = 1;
  const double secondsPerPercent = *r.fullWh / 100 / std::fabs(*watts) * 3600;
  return std::clamp(toGo * secondsPerPercent, kSoonestLook, kLatestLook);
}

}  // namespace host::estimate
