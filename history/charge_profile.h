#pragma once

#include <vector>

#include "history/history_types.h"

namespace history {

// What past charges teach about the top of a charge: for each charge that reached its limit
// (charging samples followed by a full one), the time each whole percent from 80 up took, the
// moment each was crossed found between samples; averaged over those charges.
ChargeProfile learnProfile(const std::vector<Sample>& samplesOldestFirst);

}  // namespace history
