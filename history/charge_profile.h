#pragma once

#include <optional>
#include <vector>

#include "history/history_types.h"

namespace history {

// What past charges teach about the top of a charge: for each charge that reached its limit
// (charging samples followed by a full one), the time each whole percent from 80 up took, the
// moment each was crossed found between samples; averaged over those charges. Samples come one
// at a time, oldest first, and only the charge in progress is kept.
class ProfileLearner {
 public:
  ProfileLearner();
  void add(const Sample& sample);
  ChargeProfile profile() const;

  // Two samples further apart than this (a sleep, the host stopped) say nothing about when the
  // percents between them were crossed.
  static constexpr double kLongestGap = 300;

 private:
  struct Crossing {
    double time;
    int stretch;  // the unbroken run of samples it was found in
  };
  void start(const Sample& sample);
  void step(const Sample& sample);
  void finish();

  bool charging_ = false;
  Sample previous_;
  double startLevel_ = 0;
  int stretch_ = 0;
  std::vector<std::optional<Crossing>> crossed_;  // 80 % to 100 %
  std::vector<double> sums_;
  std::vector<int> counts_;
  int charges_ = 0;
};

ChargeProfile learnProfile(const std::vector<Sample>& samplesOldestFirst);

}  // namespace history
