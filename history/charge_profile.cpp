#include "history/charge_profile.h"

namespace history {
namespace {
constexpr int kSteps = ChargeProfile::kSteps;
}

ProfileLearner::ProfileLearner() : sums_(kSteps, 0), counts_(kSteps, 0) {}

void ProfileLearner::add(const Sample& s) {
  if (s.state == "charging") {
    charging_ ? step(s) : start(s);
    return;
  }
  if (s.state == "full" && charging_) {
    step(s);  // the moment it got there
    finish();
  }
  charging_ = false;
}

void ProfileLearner::start(const Sample& s) {
  charging_ = true;
  previous_ = s;
  startLevel_ = s.level;
  crossed_.assign(kSteps + 1, std::nullopt);
}

void ProfileLearner::step(const Sample& s) {
  const Sample& a = previous_;
  if (s.time <= a.time || s.time - a.time > kLongestGap) {
    ++stretch_;
  } else {
    for (int i = 0; i <= kSteps; ++i) {
      const double percent = ChargeProfile::kFrom + i;
      // A percent counts only when it was crossed on the way up, not already there at the start.
      if (crossed_[i] || percent <= startLevel_ || a.level >= percent || s.level < percent)
        continue;
      crossed_[i] = Crossing{a.time + (s.time - a.time) * (percent - a.level) / (s.level - a.level),
                             stretch_};
    }
  }
  previous_ = s;
}

void ProfileLearner::finish() {
  ++charges_;
  for (int i = 0; i < kSteps; ++i) {
    const auto& from = crossed_[i];
    const auto& to = crossed_[i + 1];
    if (!from || !to || from->stretch != to->stretch || to->time <= from->time) continue;
    sums_[i] += to->time - from->time;
    ++counts_[i];
  }
}

ChargeProfile ProfileLearner::profile() const {
  ChargeProfile profile;
  profile.charges = charges_;
  for (int i = 0; i < kSteps; ++i) {
    if (counts_[i] > 0) profile.secondsPerPercent[i] = sums_[i] / counts_[i];
  }
  return profile;
}

ChargeProfile learnProfile(const std::vector<Sample>& samples) {
  ProfileLearner learner;
  for (const Sample& s : samples) learner.add(s);
  return learner.profile();
}

}  // namespace history
