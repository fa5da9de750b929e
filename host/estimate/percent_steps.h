#pragma once

#include <string>

#include "host/estimate/charge_estimate.h"

namespace host::estimate {

// Learns from successive readings of one battery whether its driver's whole percent cuts or
// rounds its level: where the fine level is clear of both a whole and a half percent, the two
// ways give different percents (past the middle) or the same one (before it). Known once two
// readings agree and none disagrees; forgotten when the packs change.
class PercentStepsLearner {
 public:
  // A fraction of a percent within this of a turn says nothing: the energy and the percent may
  // be read a moment apart, or worked out from slightly different figures.
  static constexpr double kNearTurn = 0.15;
  static constexpr int kAgreeing = 2;

  void add(const Reading& reading);
  PercentSteps steps() const;

 private:
  std::string packs_;
  int cut_ = 0, rounded_ = 0;  // readings only that way explains
  bool against_ = false;       // a reading neither way explains
};

}  // namespace host::estimate
