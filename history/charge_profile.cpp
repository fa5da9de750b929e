#include "history/charge_profile.h"

#include <cmath>

namespace history {
namespace {

// When, within one charge, the level first reached a percent, between two samples.
std::optional<double> crossing(const std::vector<const Sample*>& charge, double percent) {
  for (size_t i = 1; i < charge.size(); ++i) {
    const Sample& a = *charge[i - 1];
    const Sample& b = *charge[i];
    if (a.level >= percent) return std::nullopt;  // already there when it was first seen
    if (b.level < percent) continue;
    return a.time + (b.time - a.time) * (percent - a.level) / (b.level - a.level);
  }
  return std::nullopt;
}

// One charge's seconds per percent, added to the sums.
void learnFrom(const std::vector<const Sample*>& charge, std::vector<double>& sums,
               std::vector<int>& counts) {
  for (int step = 0; step < static_cast<int>(sums.size()); ++step) {
    const auto from = crossing(charge, ChargeProfile::kFrom + step);
    const auto to = crossing(charge, ChargeProfile::kFrom + step + 1);
    if (!from || !to || *to <= *from) continue;
    sums[step] += *to - *from;
    ++counts[step];
  }
}

}  // namespace

ChargeProfile learnProfile(const std::vector<Sample>& samples) {
  ChargeProfile profile;
  std::vector<double> sums(profile.secondsPerPercent.size(), 0);
  std::vector<int> counts(profile.secondsPerPercent.size(), 0);
  std::vector<const Sample*> charge;
  for (const Sample& s : samples) {
    if (s.state == "charging") {
      charge.push_back(&s);
      continue;
    }
    if (s.state == "full" && !charge.empty()) {
      charge.push_back(&s);  // the moment it got there
      learnFrom(charge, sums, counts);
      ++profile.charges;
    }
    charge.clear();
  }
  for (size_t i = 0; i < sums.size(); ++i) {
    if (counts[i] > 0) profile.secondsPerPercent[i] = sums[i] / counts[i];
  }
  return profile;
}

}  // namespace history
