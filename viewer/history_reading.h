#pragma once

#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"

// What the viewer reads of the battery's history.
struct HistoryReading {
  std::optional<std::string> none;  // why there is no history to show ("no history yet")
  std::vector<history::Sample> samples;
  std::vector<history::HealthEntry> health;
};

// Opens the host's history read-only where the device keeps it and reads the samples since
// `samplesSince` (none without it) and, when asked, the health log.
HistoryReading readHistory(std::optional<double> samplesSince, bool withHealth);
