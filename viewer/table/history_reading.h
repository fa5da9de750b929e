#pragma once

#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"

// What the viewer reads of the battery's history.
struct HistoryReading {
  std::optional<std::string> none;  // why there is no history to show ("no history yet")
  bool failed = false;              // it is there but could not be read, or not safely
  std::vector<history::Sample> samples;
  std::vector<history::HealthEntry> health;
  std::vector<history::SleepEntry> sleeps;
};

// Opens the host's history read-only where the device keeps it and reads the samples since
// `samplesSince` (none without it), when asked the health log, and the sleeps since
// `sleepsSince` (none without it). A history that cannot be read to its end gives nothing but
// why, rather than a part that looks whole.
HistoryReading readHistory(std::optional<double> samplesSince, bool withHealth,
                           std::optional<double> sleepsSince = std::nullopt);
