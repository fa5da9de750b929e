#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "common/text_format.h"
#include "history/charge_profile.h"
#include "host/estimate/charge_estimate.h"
#include "tests/support/temp_dir.h"

namespace history {
namespace {

using testing_support::TempDir;

Sample at(double time, double level, const char* state = "discharging") {
  Sample s;
  s.time = time;
  s.level = level;
  s.state = state;
  s.powerW = -10;
  return s;
}

std::unique_ptr<HistoryStore> writable(const std::string& path) {
  Failure failure;
  std::string said;
  auto store = HistoryStore::openForWriting(path, failure, said);
  EXPECT_TRUE(store) << failure.why;
  return store;
}

// A day of minute samples from `start`, written in one go; each hour charges, then drains.
void addDay(HistoryStore& store, double start) {
  std::vector<Sample> day;
  for (int minute = 0; minute < 1440; ++minute)
    day.push_back(at(start + minute * 60 + 7, 50, minute % 60 < 50 ? "charging" : "discharging"));
  Failure failure;
  ASSERT_TRUE(store.addSamples(day, failure)) << failure.why;
}

TEST(HistoryStore, SamplesAndWearRoundTripPrivately) {
  TempDir dir;
  const std::string path = dir.path() + "/history.sqlite";
  {
    auto store = writable(path);
    Failure f;
    Sample s = at(1000, 62.5);
    s.minutesToEmpty = 180;
    s.minutesToFull = 45;
    s.externalPower = true;
    ASSERT_TRUE(store->addSample(s, f)) << f.why;
    ASSERT_TRUE(store->addSample(at(1060, 62.4, "charging"), f)) << f.why;
    ASSERT_TRUE(store->addHealth({2000, "ACME", "42", 4400, 4080, 87}, f)) << f.why;
    // Written later under a clock set back: the last in the order written, not the latest time.
    ASSERT_TRUE(store->addSample(at(500, 61, "charging"), f)) << f.why;
    ASSERT_TRUE(store->addHealth({900, "ACME", "42", 4400, 4080, 87}, f)) << f.why;
    ASSERT_TRUE(
        store->addSleep({3000, 24600, 60, 51, 5.88, 980, 1.5, "s2idle", false, 21000, "irq 9"}, f))
        << f.why;
    ASSERT_TRUE(store->addSleep({2000, 2600, 60, 61, {}, {}, -6, "", true, {}, {}}, f)) << f.why;
    // As a writer of schema 2 kept it: a rate and a power for a sleep too short to tell them.
    ASSERT_TRUE(store->addSleep({5000, 5030, 60, 59, 0.1, 12000, 120, "", false, {}, {}}, f));
  }
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::string why;
  auto reader = HistoryStore::openForReading(path, why);
  ASSERT_TRUE(reader) << why;
  const auto samples = reader->samplesSince(1030);
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].state, "charging");
  EXPECT_EQ(reader->samplesSince(0)[1].minutesToEmpty, 180);
  EXPECT_EQ(reader->samplesSince(0)[1].minutesToFull, 45);
  EXPECT_EQ(reader->samplesSince(0)[2].minutesToFull, std::nullopt);
  EXPECT_TRUE(reader->samplesSince(0)[1].externalPower);
  EXPECT_FALSE(reader->samplesSince(0)[2].externalPower);
  ASSERT_EQ(reader->health().size(), 2u);
  EXPECT_EQ(reader->health()[1].fullChargeCapacity, 4080);
  EXPECT_EQ(reader->lastHealthTime("42"), 900);
  EXPECT_EQ(reader->lastHealthTime("other"), std::nullopt);
  EXPECT_EQ(reader->lastSample()->time, 500);
  const auto sleeps = reader->sleepsSince(0);
  ASSERT_EQ(sleeps.size(), 3u);
  EXPECT_EQ(std::tie(sleeps[2].energyLostWh, sleeps[2].meanMilliwatts, sleeps[2].percentPerHour),
            std::make_tuple(std::optional<double>(0.1), std::optional<double>(),
                            std::optional<double>()));
  const SleepEntry& night = sleeps[1];
  EXPECT_EQ(std::tie(night.start, night.end, night.levelBefore, night.levelAfter, night.state,
                     night.externalPower, night.percentPerHour),
            std::make_tuple(3000.0, 24600.0, 60.0, 51.0, std::string("s2idle"), false, 1.5));
  EXPECT_EQ(std::tie(night.energyLostWh, night.meanMilliwatts, night.hwSleepSeconds, night.wakeup),
            std::make_tuple(std::optional<double>(5.88), std::optional<double>(980),
                            std::optional<double>(21000), std::optional<std::string>("irq 9")));
  EXPECT_EQ(std::tie(sleeps[0].energyLostWh, sleeps[0].hwSleepSeconds, sleeps[0].wakeup),
            std::make_tuple(std::optional<double>(), std::optional<double>(),
                            std::optional<std::string>()))
      << "absent is absent, never 0";
  EXPECT_TRUE(sleeps[0].externalPower);
  EXPECT_EQ(reader->sleepsSince(2500).size(), 2u);
  EXPECT_FALSE(HistoryStore::openForReading(dir.path() + "/none.sqlite", why));
  EXPECT_EQ(why, "no history yet");
}

// Minute samples older than 30 days become one an hour, whole hours only, averaged, in the state
// each hour ended in; those older
// than two years go. A clock far ahead folds at most two days and drops at most one at a time.
TEST(HistoryStore, RetentionThinsOldSamples) {
  const double day = 86400, start = 1000 * day;  // midnight
  const struct {
    const char* name;
    double now;
    int minuteSamples, hourlySamples;
    size_t sleeps;  // one a day, never folded
  } cases[] = {
      {"30 days and half an hour: the hour is not whole yet", start + 30 * day + 1800, 3 * 1440, 0,
       3},
      {"a day past 30 days, half an hour into an hour", start + 31 * day + 1800, 2 * 1440, 24, 3},
      {"past two years and thirty days", start + 732 * day, 1440, 24, 2},
      {"a clock three years ahead", start + 1096 * day, 1440, 24, 2},
  };
  for (const auto& c : cases) {
    TempDir dir;
    auto store = writable(dir.path() + "/history.sqlite");
    Failure f;
    for (int d = 0; d < 3; ++d) {
      addDay(*store, start + d * day);
      ASSERT_TRUE(store->addSleep(
          {start + d * day + 60, start + d * day + 600, 50, 49, {}, {}, 6, "deep", false, {}, {}},
          f));
    }
    ASSERT_TRUE(store->thin(c.now, f)) << f.why;
    EXPECT_EQ(store->sleepsSince(0).size(), c.sleeps) << c.name;
    const auto samples = store->samplesSince(0);
    const auto hourly = std::count_if(samples.begin(), samples.end(), [](const Sample& s) {
      return std::fmod(s.time, 3600) == 1800;
    });
    EXPECT_EQ(hourly, c.hourlySamples) << c.name;
    EXPECT_EQ(static_cast<int>(samples.size() - hourly), c.minuteSamples) << c.name;
    for (const Sample& s : samples) {
      if (std::fmod(s.time, 3600) == 1800) {
        EXPECT_EQ(s.state, "discharging") << c.name;
      }
    }
  }
}

// Runs SQL on the database at the path (made by SQLite when missing).
void runSql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

void ourHistory(const std::string& path) {
  auto store = writable(path);
  for (int d = 0; d < 3; ++d) addDay(*store, 86400.0 * d);
}

TEST(HistoryStore, AFileThatIsNotOursIsSetAside) {
  const struct {
    const char* name;
    std::function<void(const std::string&)> plant;
    const char* said;
    const char* readerSays;   // what the viewer's reading says before it is set aside
    const char* sleeps = "";  // those a kept history holds: seconds, the rate and power kept
  } cases[] = {
      {"not a database",
       [](const std::string& path) { std::ofstream(path) << std::string(4096, 'x'); },
       "is not a database", "cannot read the history"},
      {"a newer schema",
       [](const std::string& path) {
         ourHistory(path);
         runSql(path, "PRAGMA user_version=99");
       },
       "is from a newer Brimwell", "the history is from a newer Brimwell"},
      {"a first version's history, taken as it is with its sleeps table added",
       [](const std::string& path) {
         ourHistory(path);
         runSql(path, "DROP TABLE sleeps; PRAGMA user_version=1");
       },
       "", ""},
      {"a second version's history: a sleep too short to tell a rate keeps none",
       [](const std::string& path) {
         ourHistory(path);
         runSql(path,
                "DROP TABLE sleeps; CREATE TABLE sleeps(start REAL NOT NULL, end REAL NOT NULL,"
                " level_before REAL NOT NULL, level_after REAL NOT NULL, energy_lost REAL,"
                " mean_mw REAL, percent_per_hour REAL NOT NULL, state TEXT NOT NULL,"
                " external INTEGER NOT NULL, hw_sleep REAL, wakeup TEXT);"
                "INSERT INTO sleeps VALUES(0, 59.9, 60, 59, 0.5, 30050, 60.1, 's2idle', 0, NULL,"
                " NULL), (100, 160, 60, 59, 0.5, 30000, 60, 'deep', 0, NULL, NULL);"
                "PRAGMA user_version=2");
       },
       "", "", "59.9: - -; 60: 60 %/h 30000 mW; "},
      {"another program's database",
       [](const std::string& path) { runSql(path, "CREATE TABLE samples(x)"); },
       "is not a Brimwell history", "is not a Brimwell history"},
      {"a page overwritten, as a failing disk leaves it",
       [](const std::string& path) {
         ourHistory(path);
         std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp(40960);
         file << std::string(4096, '\xff');
       },
       "is damaged", "malformed"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.path() + "/history.sqlite";
    c.plant(path);
    std::string readWhy;
    auto reader = HistoryStore::openForReading(path, readWhy);
    if (reader) reader->samplesSince(0, &readWhy);
    EXPECT_NE(readWhy.find(c.readerSays), std::string::npos) << c.name << ": " << readWhy;
    reader.reset();
    Failure why;
    std::string said;
    auto store = HistoryStore::openForWriting(path, why, said);
    ASSERT_TRUE(store) << c.name << ": " << why.why;
    if (!*c.said) {
      EXPECT_EQ(said, "") << c.name;
      EXPECT_EQ(store->samplesSince(0).size(), 3u * 1440) << c.name << ": kept";
      std::string sleeps;
      for (const SleepEntry& s : store->sleepsSince(0)) {
        const auto figure = [](std::optional<double> v, const char* unit) {
          return v ? std::to_string(std::lround(*v)) + unit : std::string("-");
        };
        sleeps += brimwell::shortestDecimal(s.end - s.start) + ": " +
                  figure(s.percentPerHour, " %/h") + " " + figure(s.meanMilliwatts, " mW") + "; ";
      }
      EXPECT_EQ(sleeps, c.sleeps) << c.name;
      EXPECT_TRUE(store->addSleep({1, 2, 50, 50, {}, {}, {}, "", false, {}, {}}, why)) << why.why;
      continue;
    }
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), std::string::npos) << c.name << ": one line\n" << said;
    std::string asideName;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      if (entry.path().filename().string().rfind("history.sqlite.unreadable-", 0) == 0)
        asideName = entry.path();
    }
    EXPECT_FALSE(asideName.empty()) << c.name;
    EXPECT_TRUE(store->addSample(at(1, 50), why)) << c.name << ": " << why.why;
    EXPECT_EQ(store->samplesSince(0).size(), 1u) << c.name << ": a fresh history";
  }
}

// Another program holding the database: the write fails for the moment, and passes once it is
// let go.
TEST(HistoryStore, ADatabaseHeldElsewhereIsAPassingTrouble) {
  TempDir dir;
  const std::string path = dir.path() + "/history.sqlite";
  auto store = writable(path);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  Failure f;
  EXPECT_FALSE(store->addSample(at(60, 50), f));
  EXPECT_EQ(f.trouble, Trouble::passing) << f.why;
  EXPECT_FALSE(store->addHealth({60, "ACME", "42", 4400, 4080, 87}, f));
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_TRUE(store->addSamples({at(60, 50), at(120, 49)}, f)) << f.why;
  EXPECT_EQ(store->samplesSince(0).size(), 2u);
}

TEST(HistoryStore, AFolderThatCannotBeWrittenIsSaid) {
  TempDir dir;
  dir.write("state", "a file where the folder should be");
  Failure why;
  std::string said;
  EXPECT_FALSE(HistoryStore::openForWriting(dir.path() + "/state/history.sqlite", why, said));
  EXPECT_NE(why.why.find("cannot make " + dir.path() + "/state/history.sqlite: Not a directory"),
            std::string::npos)
      << why.why;
  EXPECT_EQ(why.trouble, Trouble::lasting);
}

// A full disk where the shared index cannot grow from the stub a closing writer left, and no
// writer has anything unsaved: the history is read as it stands. (A file-size limit stands in
// for the full disk.)
TEST(HistoryStore, AnIndexThatCannotGrowIsReadAround) {
  TempDir dir;
  const std::string path = dir.path() + "/history.sqlite";
  {
    Failure why;
    std::string said;
    auto store = HistoryStore::openForWriting(path, why, said);
    ASSERT_TRUE(store && store->addSample({1000, 50, -8.0, "discharging", false, {}, {}}, why));
  }
  dir.write("history.sqlite-wal", "");
  dir.write("history.sqlite-shm", "abc");
  rlimit before{};
  ::getrlimit(RLIMIT_FSIZE, &before);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 1024;
  ::setrlimit(RLIMIT_FSIZE, &small);
  std::string why;
  auto reader = HistoryStore::openForReading(path, why);
  const size_t samples = reader ? reader->samplesSince(0, &why).size() : 0;
  reader.reset();
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(samples, 1u) << why;
}

// Two charges that reached their limit teach the top of the charge; one that stopped short
// does not count.
TEST(ChargeProfile, LearnedFromChargesThatReachedTheirLimit) {
  std::vector<Sample> samples;
  double t = 0;
  const auto charge = [&](double from, double to, double secondsPerPercentAbove80, bool full) {
    for (double level = from; level <= to; level += 0.5) {
      samples.push_back(at(t, level, "charging"));
      t += level < 80 ? 30 : secondsPerPercentAbove80 / 2;
    }
    samples.push_back(at(t, to, full ? "full" : "discharging"));
    t += 3600;
  };
  charge(70, 100, 240, true);
  charge(75, 100, 360, true);
  charge(78, 95, 1000, false);
  // Samples five minutes apart still tell a percent's time; a moment more apart, not.
  charge(78, 100, 600, true);
  charge(78, 100, 601, true);
  // A gauge that jumped between two readings of the same second teaches nothing of the jump.
  for (const double level : {84.0, 85.5, 88.0, 89.0}) {
    samples.push_back(at(t, level, "charging"));
    if (level != 85.5) t += 100;
  }
  samples.push_back(at(t, 89, "full"));
  t += 3600;
  // A charge that reached its limit while the laptop slept: the percents it slept through
  // teach nothing.
  charge(70, 85, 300, false);
  samples.pop_back();
  samples.push_back(at(samples.back().time + 8 * 3600, 100, "full"));
  const ChargeProfile p = learnProfile(samples);
  EXPECT_EQ(p.charges, 6);
  ASSERT_TRUE(p.secondsPerPercent[0]);
  EXPECT_NEAR(*p.secondsPerPercent[0], 375, 1e-6)
      << "80 to 81: 240, 360, 300 (slept after) and 600";
  for (const int i : {5, 8, 19}) {
    ASSERT_TRUE(p.secondsPerPercent[i]) << i;
    EXPECT_NEAR(*p.secondsPerPercent[i], 400, 1e-6) << 80 + i << " %: the mean of 240, 360, 600";
  }
  // Charges that start on a whole percent and dip below it first have not crossed it.
  std::vector<Sample> dipped;
  for (const double start : {0.0, 86400.0}) {
    double u = start;
    for (const double level : {90.0, 89.5, 91.0, 92.0, 93.0})
      dipped.push_back(at(u += 300, level, "charging"));
    dipped.push_back(at(u += 300, 93, "full"));
  }
  const ChargeProfile q = learnProfile(dipped);
  EXPECT_EQ(q.charges, 2);
  EXPECT_FALSE(q.secondsPerPercent[10]) << "90 to 91";
  EXPECT_TRUE(q.secondsPerPercent[11]) << "91 to 92";
}

// The time to full near the top, with and without what past charges learned.
TEST(ChargeProfile, TheTimeToFullWithAndWithoutALearnedProfile) {
  ChargeProfile slow;
  slow.charges = 2;
  for (auto& seconds : slow.secondsPerPercent) seconds = 300;  // 5 minutes a percent above 80
  ChargeProfile once = slow;
  once.charges = 1;
  ChargeProfile gaps = slow;
  for (int i = 10; i < 20; ++i) gaps.secondsPerPercent[i].reset();
  const struct {
    const char* name;
    double level;
    const ChargeProfile* learned;
    double minutes;
  } cases[] = {
      {"85 % at 20 W of 50 Wh, the rate alone", 85, nullptr, 22.5},
      {"85 %, learned: 15 percents at 5 minutes", 85, &slow, 75},
      {"85 %, learned from one charge only: the rate", 85, &once, 22.5},
      {"70 %: 10 percents at the rate, 20 learned", 70, &slow, 15 + 100},
      {"85 %, learned up to 90 only", 85, &gaps, 25 + 15},
  };
  for (const auto& c : cases) {
    host::estimate::Reading r;
    r.state = host::estimate::ChargeState::charging;
    r.externalPower = true;
    r.fullWh = 50;
    r.energyWh = c.level / 2;
    const auto t = host::estimate::timesFor(r, 20.0, c.learned);
    ASSERT_TRUE(t.toFullMinutes) << c.name;
    EXPECT_NEAR(*t.toFullMinutes, c.minutes, 1e-6) << c.name;
  }
}

}  // namespace
}  // namespace history
