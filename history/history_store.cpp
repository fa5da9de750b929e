#include "history/history_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "history/charge_profile.h"

namespace history {
namespace {

constexpr double kMinuteSamplesKept = 30 * 86400.0;
constexpr double kHourlySamplesKept = 2 * 365 * 86400.0;

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
};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == HistoryStore::kSchemaVersion,
              "one migration a schema version");

std::string errorOf(sqlite3* db) {
  return db ? sqlite3_errmsg(db) : "out of memory";
}

// One statement, run to its end; false with why.
bool run(sqlite3* db, const char* sql, std::string& why) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  why = message ? message : errorOf(db);
  sqlite3_free(message);
  return false;
}

// A prepared statement, finalised with it.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }
  void bind(int at, double value) { sqlite3_bind_double(stmt_, at, value); }
  void bind(int at, const std::optional<double>& value) {
    value ? sqlite3_bind_double(stmt_, at, *value) : sqlite3_bind_null(stmt_, at);
  }
  void bind(int at, const std::optional<int32_t>& value) {
    value ? sqlite3_bind_int(stmt_, at, *value) : sqlite3_bind_null(stmt_, at);
  }
  void bind(int at, const std::string& text) {
    sqlite3_bind_text(stmt_, at, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  std::optional<double> real(int column) const {
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_double(stmt_, column);
  }
  std::string text(int column) const {
    const unsigned char* value = sqlite3_column_text(stmt_, column);
    return value ? reinterpret_cast<const char*>(value) : "";
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

int schemaVersion(sqlite3* db, int& version) {
  Statement stmt(db, "PRAGMA user_version");
  if (!stmt) return sqlite3_errcode(db);
  const int step = sqlite3_step(stmt.get());
  if (step == SQLITE_ROW) version = sqlite3_column_int(stmt.get(), 0);
  return step == SQLITE_ROW ? SQLITE_OK : step;
}

bool migrate(sqlite3* db, int from, std::string& why) {
  for (int version = from + 1; version <= HistoryStore::kSchemaVersion; ++version) {
    const std::string step = std::string("BEGIN;") + kMigrations[version - 1] +
                             "PRAGMA user_version=" + std::to_string(version) + ";COMMIT;";
    if (!run(db, step.c_str(), why)) {
      run(db, "ROLLBACK", why);
      return false;
    }
  }
  return true;
}

// The database file made by us, private to the user, before SQLite opens it (its journal files
// then take the same mode).
bool makePrivateFile(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    why = "cannot make " + path + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  return true;
}

sqlite3* openAt(const std::string& path, int flags, std::string& why) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
    why = errorOf(db);
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 2000);
  return db;
}

// A file that is no database of ours moves aside, with its journal files.
std::string setAside(const std::string& path, const std::string& reason) {
  char stamp[32];
  const time_t now = ::time(nullptr);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", std::gmtime(&now));
  const std::string aside = path + ".unreadable-" + stamp;
  ::rename(path.c_str(), aside.c_str());
  for (const char* journal : {"-wal", "-shm"}) ::unlink((path + journal).c_str());
  return path + " " + reason + ": set aside as " + aside + ", a fresh history started";
}

}  // namespace

std::unique_ptr<HistoryStore> HistoryStore::openForWriting(const std::string& path,
                                                           std::string& why, std::string& said) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!makePrivateFile(path, why)) return nullptr;
    sqlite3* db = openAt(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, why);
    if (!db) return nullptr;
    int version = 0;
    const int read = schemaVersion(db, version);
    const bool ours = read == SQLITE_OK && version <= kSchemaVersion;
    if (ours &&
        run(db,
            "PRAGMA journal_mode=WAL;PRAGMA synchronous=NORMAL;"
            "PRAGMA cache_size=-256;",
            why) &&
        migrate(db, version, why)) {
      return std::unique_ptr<HistoryStore>(new HistoryStore(db));
    }
    sqlite3_close(db);
    const bool notOurs = read == SQLITE_NOTADB || read == SQLITE_CORRUPT;
    const bool newer = read == SQLITE_OK && version > kSchemaVersion;
    if (!notOurs && !newer) {
      if (why.empty()) why = "cannot read " + path;
      return nullptr;
    }
    said = setAside(path, newer ? "is from a newer Brimwell" : "is not a database");
  }
  return nullptr;
}

std::unique_ptr<HistoryStore> HistoryStore::openForReading(const std::string& path,
                                                           std::string& why) {
  if (::access(path.c_str(), F_OK) != 0) {
    why = "no history yet";
    return nullptr;
  }
  sqlite3* db = openAt(path, SQLITE_OPEN_READONLY, why);
  int version = 0;
  if (db && (schemaVersion(db, version) != SQLITE_OK || version < 1 || version > kSchemaVersion)) {
    why = version > kSchemaVersion ? "the history is from a newer Brimwell" : "no history yet";
    sqlite3_close(db);
    return nullptr;
  }
  return db ? std::unique_ptr<HistoryStore>(new HistoryStore(db)) : nullptr;
}

HistoryStore::~HistoryStore() {
  sqlite3_close(db_);
}

bool HistoryStore::addSample(const Sample& s, std::string& why) {
  Statement stmt(db_,
                 "INSERT INTO samples(time, level, power, state, external, to_empty, to_full)"
                 " VALUES(?, ?, ?, ?, ?, ?, ?)");
  if (!stmt) {
    why = errorOf(db_);
    return false;
  }
  stmt.bind(1, s.time);
  stmt.bind(2, s.level);
  stmt.bind(3, s.powerW);
  stmt.bind(4, s.state);
  sqlite3_bind_int(stmt.get(), 5, s.externalPower ? 1 : 0);
  stmt.bind(6, s.minutesToEmpty);
  stmt.bind(7, s.minutesToFull);
  if (sqlite3_step(stmt.get()) == SQLITE_DONE) return true;
  why = errorOf(db_);
  return false;
}

bool HistoryStore::addHealth(const HealthEntry& e, std::string& why) {
  Statement stmt(db_,
                 "INSERT INTO health(time, model, serial, design, full, cycles)"
                 " VALUES(?, ?, ?, ?, ?, ?)");
  if (!stmt) {
    why = errorOf(db_);
    return false;
  }
  stmt.bind(1, e.time);
  stmt.bind(2, e.model);
  stmt.bind(3, e.serial);
  sqlite3_bind_int(stmt.get(), 4, e.designCapacity);
  sqlite3_bind_int(stmt.get(), 5, e.fullChargeCapacity);
  stmt.bind(6, e.cycleCount);
  if (sqlite3_step(stmt.get()) == SQLITE_DONE) return true;
  why = errorOf(db_);
  return false;
}

bool HistoryStore::thin(double now, std::string& why) {
  char sql[1024];
  // An hour of minute samples becomes one at its middle: the averages, its last state, and
  // external power if it was there at all.
  std::snprintf(
      sql, sizeof sql,
      "BEGIN;"
      "INSERT INTO samples(time, level, power, state, external, to_empty, to_full, hourly)"
      " SELECT CAST(time / 3600 AS INTEGER) * 3600 + 1800, AVG(level), AVG(power),"
      " state, MAX(external), AVG(to_empty), AVG(to_full), 1 FROM ("
      "  SELECT * FROM samples WHERE hourly = 0 AND time < %.3f ORDER BY time)"
      " GROUP BY CAST(time / 3600 AS INTEGER);"
      "DELETE FROM samples WHERE hourly = 0 AND time < %.3f;"
      "DELETE FROM samples WHERE time < %.3f;"
      "COMMIT;",
      now - kMinuteSamplesKept, now - kMinuteSamplesKept, now - kHourlySamplesKept);
  if (run(db_, sql, why)) return true;
  std::string ignored;
  run(db_, "ROLLBACK", ignored);
  return false;
}

std::vector<Sample> HistoryStore::samplesSince(double since) const {
  std::vector<Sample> out;
  Statement stmt(db_,
                 "SELECT time, level, power, state, external, to_empty, to_full FROM samples"
                 " WHERE time >= ? ORDER BY time");
  if (!stmt) return out;
  stmt.bind(1, since);
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    Sample s;
    s.time = sqlite3_column_double(stmt.get(), 0);
    s.level = sqlite3_column_double(stmt.get(), 1);
    s.powerW = stmt.real(2);
    s.state = stmt.text(3);
    s.externalPower = sqlite3_column_int(stmt.get(), 4) != 0;
    s.minutesToEmpty = stmt.real(5);
    s.minutesToFull = stmt.real(6);
    out.push_back(std::move(s));
  }
  return out;
}

std::optional<Sample> HistoryStore::lastSample() const {
  Statement stmt(db_, "SELECT MAX(time) FROM samples");
  if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  const auto last = stmt.real(0);
  if (!last) return std::nullopt;
  std::vector<Sample> samples = samplesSince(*last);
  return samples.empty() ? std::nullopt : std::optional<Sample>(samples.back());
}

std::vector<HealthEntry> HistoryStore::health() const {
  std::vector<HealthEntry> out;
  Statement stmt(db_, "SELECT time, model, serial, design, full, cycles FROM health ORDER BY time");
  if (!stmt) return out;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    HealthEntry e;
    e.time = sqlite3_column_double(stmt.get(), 0);
    e.model = stmt.text(1);
    e.serial = stmt.text(2);
    e.designCapacity = sqlite3_column_int(stmt.get(), 3);
    e.fullChargeCapacity = sqlite3_column_int(stmt.get(), 4);
    if (const auto cycles = stmt.real(5)) e.cycleCount = static_cast<int32_t>(*cycles);
    out.push_back(std::move(e));
  }
  return out;
}

std::optional<double> HistoryStore::lastHealthTime(const std::string& serial) const {
  Statement stmt(db_, "SELECT MAX(time) FROM health WHERE serial = ?");
  if (!stmt) return std::nullopt;
  stmt.bind(1, serial);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  return stmt.real(0);
}

ChargeProfile HistoryStore::chargeProfile() const {
  // Only minute samples can tell a percent's time.
  Statement stmt(db_,
                 "SELECT time, level, power, state, external, to_empty, to_full FROM samples"
                 " WHERE hourly = 0 ORDER BY time");
  std::vector<Sample> samples;
  while (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW) {
    Sample s;
    s.time = sqlite3_column_double(stmt.get(), 0);
    s.level = sqlite3_column_double(stmt.get(), 1);
    s.state = stmt.text(3);
    samples.push_back(std::move(s));
  }
  return learnProfile(samples);
}

}  // namespace history
