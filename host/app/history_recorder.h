#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"
#include "history/history_types.h"
#include "host/app/host_options.h"
#include "host/sleep/sleep_drain.h"
#include "host/sources/battery_source.h"

namespace history {
class HistoryStore;
}

namespace host {

// The history's sample of a status: the level (the drivers' own where given), the power, the
// state, external power and the host's times; none for a status without a level.
std::optional<history::Sample> sampleOf(const brimwell::Plist& status, double time);

// At most one sample a minute, unless the state or external power changed. A clock set back
// is a minute from the last sample too, so that a clock that once ran ahead stops nothing.
bool wantsSample(const std::optional<history::Sample>& last, const history::Sample& next);

// A clock before this (2026-01-01) has not been set: a laptop whose clock battery is flat
// starts in 1970 or in its firmware's year. Nothing is recorded under it. In virtual time it is
// the wall clock at the start that must be set: a recording may begin years before it.
inline constexpr double kEarliestClock = 1767225600;

// Keeps the battery's history for the machine's own battery (and any source given --history):
// a sample at each status as wantsSample allows, each pack's wear once a day and at each end of
// a full charge, the old samples thinned once a day, and what the charges that reached their
// limit teach handed to the source. Times are the host's clock: the wall clock, or in virtual
// time a clock that ends the run now, so a recording fills its days of history in seconds.
// The wear and the thinning wait until the clock has kept step with the run for an hour awake
// (a sleep does not start the hour again), so that a clock set wrong at start and soon put right
// leaves no wear entry and folds nothing; where the system says its clock is synchronised they
// wait for nothing. A
// database another program holds, or a full disk, holds the samples back (a day of them at
// most) and is tried again a minute later; a damaged one is set aside and a fresh one started;
// one that cannot be written at all turns the history off. Each says so with one line; the
// status file goes on.
class HistoryRecorder {
 public:
  // `wallClock` (seconds since 1970) is the system's unless given.
  HistoryRecorder(BatterySource& source, const HostOptions& options,
                  std::function<void(const std::string&)> say,
                  std::function<double()> wallClock = {});
  ~HistoryRecorder();
  HistoryRecorder(const HistoryRecorder&) = delete;
  HistoryRecorder& operator=(const HistoryRecorder&) = delete;

  // Each status change, with the host's clock (seconds since the run began).
  void onStatus(const brimwell::Plist& status, double hostSeconds);

  // A sleep the source measured, with the host's clock at the look after it: its record, kept
  // in the history where there is one and the clock is set.
  history::SleepEntry onSleep(const BatterySource::SleepCrossing& crossing, double hostSeconds);

  // At the run's end the samples held back are tried once more: what could not be written is
  // said in the line returned (empty when nothing was lost).
  std::string stop(double hostSeconds);

 private:
  double timeOf(double hostSeconds) const;
  bool clockSettled(double time, double hostSeconds);
  bool open(double hostSeconds);
  bool written(const history::Failure& failure, double hostSeconds);
  bool flush(double hostSeconds);
  bool recordWear(const brimwell::Plist& status, double time, double hostSeconds, bool settled);
  void learn();
  void off(const std::string& why);

  BatterySource& source_;
  std::function<void(const std::string&)> say_;
  std::function<double()> wallClock_;
  std::string path_;  // empty while the history is off
  // In real time open only for a write (a minute apart at least): between writes the service
  // holds neither the database nor SQLite. A recording in virtual time writes days of samples
  // in seconds, and keeps it open.
  std::unique_ptr<history::HistoryStore> store_;
  bool keptOpen_ = false;
  std::optional<double> checkedAt_;  // host seconds: when every page was last checked
  std::optional<double> nextTry_;    // host seconds: when to open the database again
  bool waiting_ = false;             // said that the database is held back
  std::optional<double> anchor_;     // virtual time: the wall clock of the run's start
  double wallAtStart_ = 0;
  std::optional<history::Sample> last_;
  std::vector<history::Sample> unwritten_;
  std::map<std::string, std::optional<double>> lastWear_;  // by serial; none: never logged
  bool wearDue_ = false;                                   // a charge ended
  std::optional<double> lastThin_;
  std::optional<double> clockOffset_;  // the wall clock less the run's own and the time slept
  double settledSince_ = 0;            // host seconds
  bool unsetSaid_ = false;
  sleep::SuspendCounts suspends_;  // the kernel's counts of suspends, as last read
};

}  // namespace host
