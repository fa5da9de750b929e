#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"

struct sqlite3;

// The battery's history, in one SQLite database (WAL, so the viewer reads while the host
// writes): minute samples for 30 days, then one an hour for two years, and the packs' wear for
// ever. The one door to SQLite: nothing else includes its header.
namespace history {

class HistoryStore {
 public:
  // The device path of the database, mapped by the platform to $XDG_STATE_HOME/brimwell/.
  static constexpr const char* kDevicePath = "/var/mobile/Library/Brimwell/history.sqlite";

  // Opens (making it when missing) the database at a host path for writing. A file that is not
  // a database, or one of a newer schema, is set aside (renamed with ".unreadable-<time>") and
  // a fresh one started; `said` then holds the line that says so. Null, with why, when the
  // folder cannot be written (a full disk, a read-only folder).
  static std::unique_ptr<HistoryStore> openForWriting(const std::string& path, std::string& why,
                                                      std::string& said);
  // Opens an existing database read-only; null, with why ("no history yet" when there is none).
  static std::unique_ptr<HistoryStore> openForReading(const std::string& path, std::string& why);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Writing; false, with why, when the write failed (the database stays whole).
  bool addSample(const Sample& sample, std::string& why);
  bool addHealth(const HealthEntry& entry, std::string& why);
  // Folds minute samples older than 30 days into hourly averages and drops hourly ones older
  // than two years; `now` is the host's clock.
  bool thin(double now, std::string& why);

  // Reading, oldest first.
  std::vector<Sample> samplesSince(double since) const;
  std::vector<HealthEntry> health() const;
  std::optional<Sample> lastSample() const;
  std::optional<double> lastHealthTime(const std::string& serial) const;
  ChargeProfile chargeProfile() const;

  static constexpr int kSchemaVersion = 1;

 private:
  explicit HistoryStore(sqlite3* db) : db_(db) {}
  sqlite3* db_;
};

}  // namespace history
