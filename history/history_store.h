#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"

struct sqlite3;

namespace history {
struct Sqlite;
}

// The battery's history, in one SQLite database (WAL, so the viewer reads while the host
// writes): minute samples for 30 days, then one an hour for two years, and the packs' wear for
// ever. The one door to SQLite: nothing else includes its header.
namespace history {

class HistoryStore {
 public:
  // The device path of the database, mapped by the platform to $XDG_STATE_HOME/brimwell/.
  static constexpr const char* kDevicePath = "/var/mobile/Library/Brimwell/history.sqlite";

  // Opens (making it when missing) the database at a host path for writing, private to the
  // user. A file that is not a database, not ours, damaged or of a newer schema is set aside
  // (renamed with ".unreadable-<time>") and a fresh one started; `said` then holds the line that
  // says so. Null, with the failure, when the database cannot be written now or at all. Every
  // page is checked when `checkWhole`: a writer that opens it for each write checks it once.
  static std::unique_ptr<HistoryStore> openForWriting(const std::string& path, Failure& failure,
                                                      std::string& said, bool checkWhole = true);
  // Sets a damaged database aside and starts a fresh one there.
  static std::unique_ptr<HistoryStore> startAfresh(const std::string& path, Failure& failure,
                                                   std::string& said);
  // Opens an existing database read-only; null, with why ("no history yet" when there is none).
  static std::unique_ptr<HistoryStore> openForReading(const std::string& path, std::string& why);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Writing; false, with the failure, when the write failed (the database stays whole). Several
  // samples go in together or not at all.
  bool addSample(const Sample& sample, Failure& failure);
  bool addSamples(const std::vector<Sample>& samples, Failure& failure);
  bool addHealth(const HealthEntry& entry, Failure& failure);
  bool addSleep(const SleepEntry& entry, Failure& failure);
  // Drops the wear logged after `time`: what a clock that ran ahead left, once it is trusted.
  bool dropHealthAfter(double time, Failure& failure);
  // Folds minute samples older than 30 days into hourly averages, whole hours only, and drops
  // samples older than two years; `now` is the host's clock. A clock far ahead of the history
  // does little harm: one call folds at most two days past the oldest minute sample and drops
  // at most a day past the oldest sample. Sleeps are never folded, and kept two years too.
  bool thin(double now, Failure& failure);

  // Reading, oldest first. Where the database could not be read to the end, `why` (if given)
  // says why; what was read before stands.
  std::vector<Sample> samplesSince(double since, std::string* why = nullptr) const;
  std::vector<HealthEntry> health(std::string* why = nullptr) const;
  // A history from before sleeps were kept holds none.
  std::vector<SleepEntry> sleepsSince(double since, std::string* why = nullptr) const;
  // The last minute sample written and the time of a pack's last entry, in the order they were
  // written: a clock that once ran ahead leaves samples the later ones must not be measured by.
  std::optional<Sample> lastSample() const;
  std::optional<double> lastHealthTime(const std::string& serial) const;
  // Whether it holds no sample, no wear entry and no sleep.
  bool holdsNothing() const;
  // Learned from the minute samples, read one at a time.
  ChargeProfile chargeProfile() const;

  static constexpr int kSchemaVersion = 3;

 private:
  HistoryStore(std::shared_ptr<const Sqlite> library, sqlite3* db, int version = kSchemaVersion)
      : library_(std::move(library)), db_(db), version_(version) {}
  std::shared_ptr<const Sqlite> library_;  // loaded while the database is open
  sqlite3* db_;
  int version_;  // a reader may find an older history than the host that will bring it up
};

}  // namespace history
