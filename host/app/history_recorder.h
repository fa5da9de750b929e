#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/plist.h"
#include "history/history_types.h"
#include "host/app/host_options.h"
#include "host/sources/battery_source.h"

namespace history {
class HistoryStore;
}

namespace host {

// The history's sample of a status: the level (the drivers' own where given), the power, the
// state, external power and the host's times; none for a status without a level.
std::optional<history::Sample> sampleOf(const brimwell::Plist& status, double time);

// At most one sample a minute, unless the state or external power changed.
bool wantsSample(const std::optional<history::Sample>& last, const history::Sample& next);

// Keeps the battery's history for the machine's own battery (and any source given --history):
// a sample at each status as wantsSample allows, each pack's wear once a day and at each end of
// a full charge, the old samples thinned once a day, and what the charges that reached their
// limit teach handed to the source. Times are the host's clock: the wall clock, or in virtual
// time a clock that ends the run now, so a recording fills its days of history in seconds. A
// database that cannot be written turns the history off with one line; the status file goes on.
class HistoryRecorder {
 public:
  HistoryRecorder(BatterySource& source, const HostOptions& options,
                  std::function<void(const std::string&)> say);
  ~HistoryRecorder();
  HistoryRecorder(const HistoryRecorder&) = delete;
  HistoryRecorder& operator=(const HistoryRecorder&) = delete;

  // Each status change, with the host's clock (seconds since the run began).
  void onStatus(const brimwell::Plist& status, double hostSeconds);

 private:
  double timeOf(double hostSeconds) const;
  void recordWear(const brimwell::Plist& status, double time, bool endOfCharge);
  void learn();
  void off(const std::string& why);

  BatterySource& source_;
  std::function<void(const std::string&)> say_;
  std::unique_ptr<history::HistoryStore> store_;
  std::optional<double> anchor_;  // virtual time: the wall clock of the run's start
  std::optional<history::Sample> last_;
  std::map<std::string, double> lastWear_;  // by serial
  std::optional<double> lastThin_;
};

}  // namespace host
