#include "history/history_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "history/charge_profile.h"
#include "history/sleep_duration.h"
#include "history/sqlite_library.h"

namespace history {
namespace {

constexpr double kMinuteSamplesKept = 30 * 86400.0;
constexpr int kSleepsSince = 2;  // the schema that keeps them
constexpr double kHourlySamplesKept = 2 * 365 * 86400.0;
constexpr double kMostFoldedAtOnce = 2 * 86400.0, kMostDroppedAtOnce = 86400.0;

// The schema, one step a version: a database of version N runs steps N+1 onwards.
const char* const kMigrations[] = {
    // 1: samples (minute ones, and hourly averages once older than 30 days) and the wear.
    "CREATE TABLE samples(time REAL NOT NULL, level REAL NOT NULL, power REAL,"
    " state TEXT NOT NULL, external INTEGER NOT NULL, to_empty REAL, to_full REAL,"
    " hourly INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX samples_by_time ON samples(time);"
    "CREATE TABLE health(time REAL NOT NULL, model TEXT NOT NULL, serial TEXT NOT NULL,"
    " design INTEGER NOT NULL, full INTEGER NOT NULL, cycles INTEGER);"
    "CREATE INDEX health_by_serial ON health(serial, time);",
    // 2: each sleep and what it cost.
    "CREATE TABLE sleeps(start REAL NOT NULL, end REAL NOT NULL, level_before REAL NOT NULL,"
    " level_after REAL NOT NULL, energy_lost REAL, mean_mw REAL, percent_per_hour REAL NOT NULL,"
    " state TEXT NOT NULL, external INTEGER NOT NULL, hw_sleep REAL, wakeup TEXT);"
    "CREATE INDEX sleeps_by_start ON sleeps(start);",
    // 3: a sleep too short to tell a rate keeps none, nor a power.
    "CREATE TABLE sleeps_3(start REAL NOT NULL, end REAL NOT NULL, level_before REAL NOT NULL,"
    " level_after REAL NOT NULL, energy_lost REAL, mean_mw REAL, percent_per_hour REAL,"
    " state TEXT NOT NULL, external INTEGER NOT NULL, hw_sleep REAL, wakeup TEXT);"
    "INSERT INTO sleeps_3 SELECT start, end, level_before, level_after, energy_lost,"
    " CASE WHEN end - start < 60 THEN NULL ELSE mean_mw END,"
    " CASE WHEN end - start < 60 THEN NULL ELSE percent_per_hour END,"
    " state, external, hw_sleep, wakeup FROM sleeps;"
    "DROP TABLE sleeps;"
    "ALTER TABLE sleeps_3 RENAME TO sleeps;"
    "CREATE INDEX sleeps_by_start ON sleeps(start);",
};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == HistoryStore::kSchemaVersion,
              "one migration a schema version");

std::string errorOf(sqlite3* db) {
  return db ? sqlite().errmsg(db) : "out of memory";
}

Trouble troubleOf(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_FULL:
    case SQLITE_IOERR:
      return Trouble::passing;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return Trouble::damaged;
    default:
      return Trouble::lasting;
  }
}

// The failure of the last call on the connection.
bool failed(sqlite3* db, Failure& failure) {
  failure.why = errorOf(db);
  failure.trouble = db ? troubleOf(sqlite().extended_errcode(db)) : Trouble::passing;
  return false;
}

// Statements, run to their end; false with the failure.
bool run(sqlite3* db, const char* sql, Failure& failure) {
  char* message = nullptr;
  if (sqlite().exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  failed(db, failure);
  if (message) failure.why = message;
  sqlite().free(message);
  return false;
}

// A transaction's statements, or none of them.
bool runAll(sqlite3* db, const std::string& sql, Failure& failure) {
  if (run(db, ("BEGIN;" + sql + "COMMIT;").c_str(), failure)) return true;
  Failure ignored;
  run(db, "ROLLBACK", ignored);
  return false;
}

// A prepared statement, finalised with it.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite().prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite().finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }
  void bind(int at, double value) { sqlite().bind_double(stmt_, at, value); }
  void bind(int at, const std::optional<double>& value) {
    value ? sqlite().bind_double(stmt_, at, *value) : sqlite().bind_null(stmt_, at);
  }
  void bind(int at, const std::optional<int32_t>& value) {
    value ? sqlite().bind_int(stmt_, at, *value) : sqlite().bind_null(stmt_, at);
  }
  void bind(int at, const std::string& text) {
    sqlite().bind_text(stmt_, at, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  std::optional<double> real(int column) const {
    if (sqlite().column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
    return sqlite().column_double(stmt_, column);
  }
  std::string text(int column) const {
    const unsigned char* value = sqlite().column_text(stmt_, column);
    return value ? reinterpret_cast<const char*>(value) : "";
  }
  // A row of time, level, power, state, external, to_empty, to_full.
  Sample sample() const {
    Sample s;
    s.time = sqlite().column_double(stmt_, 0);
    s.level = sqlite().column_double(stmt_, 1);
    s.powerW = real(2);
    s.state = text(3);
    s.externalPower = sqlite().column_int(stmt_, 4) != 0;
    s.minutesToEmpty = real(5);
    s.minutesToFull = real(6);
    return s;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

int schemaVersion(sqlite3* db, int& version) {
  Statement stmt(db, "PRAGMA user_version");
  if (!stmt) return sqlite().extended_errcode(db);
  const int step = sqlite().step(stmt.get());
  if (step == SQLITE_ROW) version = sqlite().column_int(stmt.get(), 0);
  return step == SQLITE_ROW ? SQLITE_OK : sqlite().extended_errcode(db);
}

// Whether a database of version 0 already holds tables: then it is some other program's.
bool holdsTables(sqlite3* db) {
  Statement stmt(db, "SELECT 1 FROM sqlite_master LIMIT 1");
  return stmt && sqlite().step(stmt.get()) == SQLITE_ROW;
}

// SQLite's own check of every page; a damaged database answers with what is wrong.
bool whole(sqlite3* db, Failure& failure) {
  Statement stmt(db, "PRAGMA quick_check(1)");
  if (!stmt) return failed(db, failure);
  const int step = sqlite().step(stmt.get());
  if (step == SQLITE_ROW && stmt.text(0) == "ok") return true;
  if (step != SQLITE_ROW) return failed(db, failure);
  // What is wrong may run over several lines; it is said on one.
  std::string what = stmt.text(0);
  std::replace(what.begin(), what.end(), '\n', ' ');
  failure = {what, Trouble::damaged};
  return false;
}

bool migrate(sqlite3* db, int from, Failure& failure) {
  for (int version = from + 1; version <= HistoryStore::kSchemaVersion; ++version) {
    const std::string step = std::string(kMigrations[version - 1]) +
                             "PRAGMA user_version=" + std::to_string(version) + ";";
    if (!runAll(db, step, failure)) return false;
  }
  return true;
}

// The database file made by us, private to the user, before SQLite opens it (its journal files
// then take the same mode); one made before with a wider mode, and its journal files, narrowed.
bool makePrivateFile(const std::string& path, Failure& failure) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    failure = {"cannot make " + path + ": " + std::strerror(errno),
               errno == ENOSPC ? Trouble::passing : Trouble::lasting};
    return false;
  }
  ::fchmod(fd, 0600);
  ::close(fd);
  for (const char* journal : {"-wal", "-shm"}) {
    const int other = ::open((path + journal).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (other < 0) continue;
    ::fchmod(other, 0600);
    ::close(other);
  }
  return true;
}

sqlite3* openAt(const std::string& path, int flags, int waitMs, Failure& failure) {
  sqlite3* db = nullptr;
  if (sqlite().open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
    failed(db, failure);
    sqlite().close(db);
    return nullptr;
  }
  sqlite().busy_timeout(db, waitMs);
  // A small page cache, set before anything reads the file (the check reads all of it): the
  // host and the viewer are meant to stay small.
  sqlite().exec(db, "PRAGMA cache_size=-256", nullptr, nullptr, nullptr);
  return db;
}

// A file that is no database of ours, or a damaged one, moves aside with its journal files.
std::string setAside(const std::string& path, const std::string& reason) {
  char stamp[32];
  const time_t now = ::time(nullptr);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", std::gmtime(&now));
  std::string aside = path + ".unreadable-" + stamp;
  for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n)
    aside = path + ".unreadable-" + stamp + "-" + std::to_string(n);
  ::rename(path.c_str(), aside.c_str());
  for (const char* journal : {"-wal", "-shm"}) ::unlink((path + journal).c_str());
  return path + " " + reason + ": set aside as " + aside + ", a fresh history started";
}

// The host waits a moment for a database another program holds, then tries again later: its
// loop must not stall. The viewer may wait longer.
constexpr int kWriterWaitMs = 250, kReaderWaitMs = 2000;

// Why a database cannot be ours, or none.
std::optional<std::string> foreign(sqlite3* db, Failure& failure, bool check) {
  int version = 0;
  const int read = schemaVersion(db, version);
  if (read != SQLITE_OK) {
    failed(db, failure);
    if (failure.trouble == Trouble::damaged) return std::string("is not a database");
    return std::nullopt;
  }
  if (version > HistoryStore::kSchemaVersion) return std::string("is from a newer Brimwell");
  if (version == 0 && holdsTables(db)) return std::string("is not a Brimwell history");
  if (check && !whole(db, failure)) {
    if (failure.trouble == Trouble::damaged) return "is damaged (" + failure.why + ")";
  }
  return std::nullopt;
}

}  // namespace

std::unique_ptr<HistoryStore> HistoryStore::openForWriting(const std::string& path,
                                                           Failure& failure, std::string& said,
                                                           bool checkWhole) {
  std::string why;
  std::shared_ptr<const Sqlite> library = loadSqlite(why);
  if (!library) {
    failure = {"cannot load SQLite: " + why, Trouble::lasting};
    return nullptr;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    failure = {};
    if (!makePrivateFile(path, failure)) return nullptr;
    sqlite3* db = openAt(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kWriterWaitMs, failure);
    if (!db) return nullptr;
    // A file set aside and made afresh needs no check.
    const std::optional<std::string> notOurs = foreign(db, failure, checkWhole && attempt == 0);
    if (!notOurs && failure.why.empty()) {
      int version = 0;
      schemaVersion(db, version);
      // The WAL file is cut back after each checkpoint, so that it does not keep megabytes.
      if (run(db,
              "PRAGMA journal_mode=WAL;PRAGMA synchronous=NORMAL;"
              "PRAGMA journal_size_limit=262144;",
              failure) &&
          migrate(db, version, failure)) {
        return std::unique_ptr<HistoryStore>(new HistoryStore(library, db));
      }
    }
    sqlite().close(db);
    if (!notOurs && failure.trouble != Trouble::damaged) return nullptr;
    said = setAside(path, notOurs.value_or("is damaged (" + failure.why + ")"));
  }
  return nullptr;
}

std::unique_ptr<HistoryStore> HistoryStore::startAfresh(const std::string& path, Failure& failure,
                                                        std::string& said) {
  said = setAside(path, "is damaged");
  std::string more;
  auto store = openForWriting(path, failure, more);
  if (!more.empty()) said += "; " + more;
  return store;
}

namespace {

// A URI for SQLite: its path with the characters a URI gives meaning to escaped.
std::string uriOf(const std::string& path, const char* query) {
  std::string uri = "file:";
  for (const unsigned char c : path) {
    if (c == '?' || c == '#' || c == '%' || c < 0x20) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?" + query;
}

bool emptyOrMissing(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) != 0 || info.st_size == 0;
}

}  // namespace

std::unique_ptr<HistoryStore> HistoryStore::openForReading(const std::string& path,
                                                           std::string& why) {
  if (::access(path.c_str(), F_OK) != 0) {
    why = "no history yet";
    return nullptr;
  }
  std::string unloaded;
  std::shared_ptr<const Sqlite> library = loadSqlite(unloaded);
  if (!library) {
    why = "cannot read the history: cannot load SQLite: " + unloaded;
    return nullptr;
  }
  Failure failure;
  sqlite3* db = openAt(path, SQLITE_OPEN_READONLY, kReaderWaitMs, failure);
  int version = 0;
  int read = db ? schemaVersion(db, version) : SQLITE_CANTOPEN;
  // Reading a WAL database makes its shared index beside it; where the folder does not let it,
  // or a full disk does not let it grow (a writer that closed may leave a stub of it), and no
  // writer has anything unsaved in the WAL file, the file is read as it stands.
  const bool noIndex = (read & 0xff) == SQLITE_CANTOPEN || (read & 0xff) == SQLITE_READONLY ||
                       (read & 0xff) == SQLITE_IOERR;
  if (db && noIndex && emptyOrMissing(path + "-wal")) {
    sqlite().close(db);
    db = openAt(uriOf(path, "immutable=1"), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, kReaderWaitMs,
                failure);
    read = db ? schemaVersion(db, version) : SQLITE_CANTOPEN;
  }
  if (!db) {
    why = "cannot read the history: " + failure.why;
    return nullptr;
  }
  if (read != SQLITE_OK || version == 0 || version > kSchemaVersion) {
    if (read != SQLITE_OK) {
      why = "cannot read the history: " + errorOf(db);
    } else if (version > kSchemaVersion) {
      why = "the history is from a newer Brimwell";
    } else {
      why = holdsTables(db) ? "the history file is not a Brimwell history" : "no history yet";
    }
    sqlite().close(db);
    return nullptr;
  }
  return std::unique_ptr<HistoryStore>(new HistoryStore(library, db, version));
}

HistoryStore::~HistoryStore() {
  sqlite().close(db_);
}

bool HistoryStore::addSample(const Sample& s, Failure& failure) {
  return addSamples({s}, failure);
}

bool HistoryStore::addSamples(const std::vector<Sample>& samples, Failure& failure) {
  Statement stmt(db_,
                 "INSERT INTO samples(time, level, power, state, external, to_empty, to_full)"
                 " VALUES(?, ?, ?, ?, ?, ?, ?)");
  if (!stmt) return failed(db_, failure);
  if (samples.size() > 1 && !run(db_, "BEGIN", failure)) return false;
  for (const Sample& s : samples) {
    sqlite().reset(stmt.get());
    stmt.bind(1, s.time);
    stmt.bind(2, s.level);
    stmt.bind(3, s.powerW);
    stmt.bind(4, s.state);
    sqlite().bind_int(stmt.get(), 5, s.externalPower ? 1 : 0);
    stmt.bind(6, s.minutesToEmpty);
    stmt.bind(7, s.minutesToFull);
    if (sqlite().step(stmt.get()) != SQLITE_DONE) {
      failed(db_, failure);
      Failure ignored;
      if (samples.size() > 1) run(db_, "ROLLBACK", ignored);
      return false;
    }
  }
  return samples.size() <= 1 || run(db_, "COMMIT", failure);
}

bool HistoryStore::addHealth(const HealthEntry& e, Failure& failure) {
  Statement stmt(db_,
                 "INSERT INTO health(time, model, serial, design, full, cycles)"
                 " VALUES(?, ?, ?, ?, ?, ?)");
  if (!stmt) return failed(db_, failure);
  stmt.bind(1, e.time);
  stmt.bind(2, e.model);
  stmt.bind(3, e.serial);
  sqlite().bind_int(stmt.get(), 4, e.designCapacity);
  sqlite().bind_int(stmt.get(), 5, e.fullChargeCapacity);
  stmt.bind(6, e.cycleCount);
  if (sqlite().step(stmt.get()) == SQLITE_DONE) return true;
  return failed(db_, failure);
}

bool HistoryStore::addSleep(const SleepEntry& e, Failure& failure) {
  Statement stmt(db_,
                 "INSERT INTO sleeps(start, end, level_before, level_after, energy_lost, mean_mw,"
                 " percent_per_hour, state, external, hw_sleep, wakeup)"
                 " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  if (!stmt) return failed(db_, failure);
  stmt.bind(1, e.start);
  stmt.bind(2, e.end);
  stmt.bind(3, e.levelBefore);
  stmt.bind(4, e.levelAfter);
  stmt.bind(5, e.energyLostWh);
  stmt.bind(6, e.meanMilliwatts);
  stmt.bind(7, e.percentPerHour);
  stmt.bind(8, e.state);
  sqlite().bind_int(stmt.get(), 9, e.externalPower ? 1 : 0);
  stmt.bind(10, e.hwSleepSeconds);
  if (e.wakeup) stmt.bind(11, *e.wakeup);
  if (sqlite().step(stmt.get()) == SQLITE_DONE) return true;
  return failed(db_, failure);
}

bool HistoryStore::dropHealthAfter(double time, Failure& failure) {
  Statement stmt(db_, "DELETE FROM health WHERE time > ?");
  if (!stmt) return failed(db_, failure);
  stmt.bind(1, time);
  if (sqlite().step(stmt.get()) == SQLITE_DONE) return true;
  return failed(db_, failure);
}

bool HistoryStore::thin(double now, Failure& failure) {
  char sql[2048];
  // An hour of minute samples becomes one at its middle: the averages, the state it ended in
  // (asked for by name: a bare column beside MAX() would take the row of that maximum), and
  // external power if it was there at all. The cut-offs are bounded by the oldest samples, so
  // that a clock set years ahead cannot fold or drop the whole history at once.
  std::snprintf(
      sql, sizeof sql,
      "CREATE TEMP TABLE IF NOT EXISTS cut(fold REAL, drop_before REAL);"
      "DELETE FROM cut;"
      "INSERT INTO cut SELECT"
      " CAST(MIN(%.3f, IFNULL((SELECT MIN(time) FROM samples WHERE hourly = 0), %.3f) + %.3f)"
      " / 3600 AS INTEGER) * 3600,"
      " MIN(%.3f, IFNULL((SELECT MIN(time) FROM samples), %.3f) + %.3f);"
      "INSERT INTO samples(time, level, power, state, external, to_empty, to_full, hourly)"
      " SELECT hour * 3600 + 1800, AVG(level), AVG(power),"
      "  (SELECT state FROM samples AS last WHERE last.hourly = 0 AND last.time >= hour * 3600"
      "   AND last.time < hour * 3600 + 3600 AND CAST(last.time / 3600 AS INTEGER) = hour"
      "   ORDER BY last.time DESC, last.rowid DESC LIMIT 1),"
      " MAX(external), AVG(to_empty), AVG(to_full), 1 FROM ("
      "  SELECT *, CAST(time / 3600 AS INTEGER) AS hour FROM samples"
      "  WHERE hourly = 0 AND time < (SELECT fold FROM cut))"
      " GROUP BY hour;"
      "DELETE FROM samples WHERE hourly = 0 AND time < (SELECT fold FROM cut);"
      "DELETE FROM samples WHERE time < (SELECT drop_before FROM cut);"
      "DELETE FROM sleeps WHERE start < (SELECT drop_before FROM cut);",
      now - kMinuteSamplesKept, now, kMostFoldedAtOnce, now - kHourlySamplesKept, now,
      kMostDroppedAtOnce);
  return runAll(db_, sql, failure);
}

namespace {

// The end of a reading: what stopped it, where it was not the end of the rows.
void noteEnd(sqlite3* db, int step, std::string* why) {
  if (step != SQLITE_DONE && why) *why = errorOf(db);
}

// Every row the statement gives, each made by `row`; where it stopped early, why.
template <typename Row, typename Make>
std::vector<Row> allRows(sqlite3* db, Statement& stmt, std::string* why, Make row) {
  std::vector<Row> out;
  if (!stmt) {
    noteEnd(db, SQLITE_ERROR, why);
    return out;
  }
  int step;
  while ((step = sqlite().step(stmt.get())) == SQLITE_ROW) out.push_back(row(stmt));
  noteEnd(db, step, why);
  return out;
}

}  // namespace

std::vector<Sample> HistoryStore::samplesSince(double since, std::string* why) const {
  Statement stmt(db_,
                 "SELECT time, level, power, state, external, to_empty, to_full FROM samples"
                 " WHERE time >= ? ORDER BY time");
  if (stmt) stmt.bind(1, since);
  return allRows<Sample>(db_, stmt, why, [](const Statement& row) { return row.sample(); });
}

std::optional<Sample> HistoryStore::lastSample() const {
  Statement stmt(db_,
                 "SELECT time, level, power, state, external, to_empty, to_full FROM samples"
                 " WHERE hourly = 0 ORDER BY rowid DESC LIMIT 1");
  if (!stmt || sqlite().step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  return stmt.sample();
}

std::vector<HealthEntry> HistoryStore::health(std::string* why) const {
  Statement stmt(db_, "SELECT time, model, serial, design, full, cycles FROM health ORDER BY time");
  return allRows<HealthEntry>(db_, stmt, why, [](const Statement& row) {
    HealthEntry e;
    e.time = sqlite().column_double(row.get(), 0);
    e.model = row.text(1);
    e.serial = row.text(2);
    e.designCapacity = sqlite().column_int(row.get(), 3);
    e.fullChargeCapacity = sqlite().column_int(row.get(), 4);
    if (const auto cycles = row.real(5)) e.cycleCount = static_cast<int32_t>(*cycles);
    return e;
  });
}

std::vector<SleepEntry> HistoryStore::sleepsSince(double since, std::string* why) const {
  if (version_ < kSleepsSince) return {};
  Statement stmt(db_,
                 "SELECT start, end, level_before, level_after, energy_lost, mean_mw,"
                 " percent_per_hour, state, external, hw_sleep, wakeup FROM sleeps"
                 " WHERE start >= ? ORDER BY start");
  if (stmt) stmt.bind(1, since);
  return allRows<SleepEntry>(db_, stmt, why, [](const Statement& row) {
    SleepEntry e;
    e.start = sqlite().column_double(row.get(), 0);
    e.end = sqlite().column_double(row.get(), 1);
    e.levelBefore = sqlite().column_double(row.get(), 2);
    e.levelAfter = sqlite().column_double(row.get(), 3);
    e.energyLostWh = row.real(4);
    e.meanMilliwatts = row.real(5);
    e.percentPerHour = row.real(6);
    e.state = row.text(7);
    e.externalPower = sqlite().column_int(row.get(), 8) != 0;
    e.hwSleepSeconds = row.real(9);
    if (sqlite().column_type(row.get(), 10) != SQLITE_NULL) e.wakeup = row.text(10);
    // A history not yet taken to schema 3 (its writer still runs) keeps them for such a sleep.
    if (e.end - e.start < kShortestMeasuredSleep) {
      e.percentPerHour.reset();
      e.meanMilliwatts.reset();
    }
    return e;
  });
}

std::optional<double> HistoryStore::lastHealthTime(const std::string& serial) const {
  Statement stmt(db_, "SELECT time FROM health WHERE serial = ? ORDER BY rowid DESC LIMIT 1");
  if (!stmt) return std::nullopt;
  stmt.bind(1, serial);
  if (sqlite().step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  return stmt.real(0);
}

bool HistoryStore::holdsNothing() const {
  Statement stmt(db_, version_ >= kSleepsSince
                          ? "SELECT 1 FROM samples UNION ALL SELECT 1 FROM health UNION ALL"
                            " SELECT 1 FROM sleeps LIMIT 1"
                          : "SELECT 1 FROM samples UNION ALL SELECT 1 FROM health LIMIT 1");
  return stmt && sqlite().step(stmt.get()) == SQLITE_DONE;
}

ChargeProfile HistoryStore::chargeProfile() const {
  // Only minute samples can tell a percent's time.
  Statement stmt(db_,
                 "SELECT time, level, power, state, external, to_empty, to_full FROM samples"
                 " WHERE hourly = 0 ORDER BY time");
  ProfileLearner learner;
  while (stmt && sqlite().step(stmt.get()) == SQLITE_ROW) learner.add(stmt.sample());
  return learner.profile();
}

}  // namespace history
