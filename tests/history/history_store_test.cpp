#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
  std::string why, said;
  auto store = HistoryStore::openForWriting(path, why, said);
  EXPECT_TRUE(store) << why;
  return store;
}

TEST(HistoryStore, SamplesAndWearRoundTripPrivately) {
  TempDir dir;
  const std::string path = dir.path() + "/history.sqlite";
  {
    auto store = writable(path);
    std::string why;
    Sample s = at(1000, 62.5);
    s.minutesToEmpty = 180;
    ASSERT_TRUE(store->addSample(s, why)) << why;
    ASSERT_TRUE(store->addSample(at(1060, 62.4, "charging"), why)) << why;
    ASSERT_TRUE(store->addHealth({2000, "ACME", "42", 4400, 4080, 87}, why)) << why;
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
  EXPECT_EQ(reader->samplesSince(0)[0].minutesToEmpty, 180);
  EXPECT_EQ(reader->samplesSince(0)[0].minutesToFull, std::nullopt);
  ASSERT_EQ(reader->health().size(), 1u);
  EXPECT_EQ(reader->health()[0].fullChargeCapacity, 4080);
  EXPECT_EQ(reader->lastHealthTime("42"), 2000);
  EXPECT_EQ(reader->lastHealthTime("other"), std::nullopt);
  EXPECT_EQ(reader->lastSample()->time, 1060);
  EXPECT_FALSE(HistoryStore::openForReading(dir.path() + "/none.sqlite", why));
  EXPECT_EQ(why, "no history yet");
}

// Minute samples older than 30 days become one an hour, averaged; those older than two years go.
TEST(HistoryStore, RetentionThinsOldSamples) {
  TempDir dir;
  auto store = writable(dir.path() + "/history.sqlite");
  const double day = 86400, now = 800 * day;
  std::string why;
  for (const double start : {now - 2 * day, now - 40 * day, now - 740 * day}) {
    for (int minute = 0; minute < 60; ++minute) {
      ASSERT_TRUE(store->addSample(at(start + minute * 60, 50 + minute % 2), why)) << why;
    }
  }
  ASSERT_TRUE(store->thin(now, why)) << why;
  const auto samples = store->samplesSince(0);
  ASSERT_EQ(samples.size(), 60u + 1u) << "the recent hour whole, the older one as one";
  EXPECT_NEAR(samples[0].level, 50.5, 1e-9) << "averaged";
  EXPECT_GE(samples[0].time, now - 40 * day);
}

TEST(HistoryStore, AFileThatIsNotOursIsSetAside) {
  const struct {
    const char* name;
    std::string content;
    const char* said;
  } cases[] = {
      {"not a database", std::string(4096, 'x'), "is not a database"},
      {"a newer schema", "", "is from a newer Brimwell"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.path() + "/history.sqlite";
    if (c.content.empty()) {
      // A later Brimwell's database: a schema version ahead of this one.
      writable(path).reset();
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
      ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(db);
    } else {
      dir.write("history.sqlite", c.content);
    }
    std::string why, said;
    auto store = HistoryStore::openForWriting(path, why, said);
    ASSERT_TRUE(store) << c.name << ": " << why;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    std::string asideName;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      if (entry.path().filename().string().rfind("history.sqlite.unreadable-", 0) == 0)
        asideName = entry.path();
    }
    EXPECT_FALSE(asideName.empty()) << c.name;
    EXPECT_TRUE(store->addSample(at(1, 50), why)) << c.name << ": " << why;
  }
}

TEST(HistoryStore, AFolderThatCannotBeWrittenIsSaid) {
  TempDir dir;
  dir.write("state", "a file where the folder should be");
  std::string why, said;
  EXPECT_FALSE(HistoryStore::openForWriting(dir.path() + "/state/history.sqlite", why, said));
  EXPECT_NE(why.find("cannot make " + dir.path() + "/state/history.sqlite: Not a directory"),
            std::string::npos)
      << why;
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
  const ChargeProfile p = learnProfile(samples);
  EXPECT_EQ(p.charges, 2);
  ASSERT_TRUE(p.secondsPerPercent[0]);
  EXPECT_NEAR(*p.secondsPerPercent[0], 300, 1e-6) << "80 to 81: the mean of 240 and 360";
  EXPECT_NEAR(*p.secondsPerPercent[19], 300, 1e-6) << "99 to 100";
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
