#pragma once

#include <functional>
#include <optional>

#include "history/history_types.h"
#include "viewer/table/history_reading.h"

// Reads the sleeps since a time (the history's reading, or why there is none).
using SleepsLoader = std::function<HistoryReading(double since)>;

// The last sleep the history holds, read again at most once a minute of the wall clock: the
// table refreshes every 10 s, and a sleep is written once, at the resume, after which the wall
// clock has moved on by the sleep's length and the next refresh reads it.
class LastSleepReader {
 public:
  explicit LastSleepReader(SleepsLoader load) : load_(std::move(load)) {}
  std::optional<history::SleepEntry> at(double now);

  static constexpr double kReadAgain = 60;

 private:
  SleepsLoader load_;
  std::optional<double> readAt_;
  std::optional<history::SleepEntry> last_;
};
