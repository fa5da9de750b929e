// The host's keeping of the history against a wrong clock and a database another program holds.
#include "host/app/history_recorder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "common/status_keys.h"
#include "history/history_store.h"
#include "host/app/sleep_watch.h"
#include "host/desktop/desktop_alerts.h"
#include "tests/support/mock_bus.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace host {
namespace {

namespace key = brimwell::key;
constexpr double kDay = 86400;
constexpr double kNow = 1796083200;  // 2026-12-01

// The machine's battery, one pack, read as the test says.
class OnePack : public BatterySource {
 public:
  OnePack() : BatterySource(1) {}
  std::optional<brimwell::Plist> tick(double) override { return std::nullopt; }
  double simulatedSeconds() const override { return 0; }
  double secondsSlept() const override { return slept; }
  std::vector<PackWear> packs() const override { return {{"ACME", "42", 5000, 4500, 80}}; }
  double slept = 0;
};

brimwell::Plist discharging(int percent) {
  brimwell::Plist status = brimwell::Plist::newDictionary();
  status.setItem(key::kCurrentCapacityPercent, brimwell::Plist::integer(percent));
  status.setItem(key::kChargingState, brimwell::Plist::string("discharging"));
  return status;
}

struct Kept {
  std::vector<history::Sample> samples;
  std::vector<history::HealthEntry> health;
};

Kept kept(const std::string& root) {
  std::string why;
  auto store =
      history::HistoryStore::openForReading(root + history::HistoryStore::kDevicePath, why);
  if (!store) return {};
  return {store->samplesSince(0), store->health()};
}

class HistoryRecorderTest : public testing::Test {
 protected:
  void SetUp() override { env_.set("SIM_DEVICE_ROOT", root_.path()); }
  // A history of `days` of minute samples before kNow, as an earlier run left it.
  void earlierRun(int days) {
    const std::string path = root_.path() + history::HistoryStore::kDevicePath;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    history::Failure failure;
    std::string said;
    auto store = history::HistoryStore::openForWriting(path, failure, said);
    std::vector<history::Sample> samples;
    for (double t = kNow - days * kDay; t < kNow; t += 60) {
      samples.push_back({t, 50, -8.0, "discharging", false, std::nullopt, std::nullopt});
    }
    ASSERT_TRUE(store->addSamples(samples, failure)) << failure.why;
  }
  // A run of statuses a minute apart for `minutes`, the wall clock as `clock` gives it.
  void run(HistoryRecorder& recorder, double& hostSeconds, int minutes) {
    for (int i = 0; i < minutes; ++i, hostSeconds += 60) {
      recorder.onStatus(discharging(50 - i % 10), hostSeconds);
    }
  }
  // Another program's connection to the history; null when it cannot be opened.
  sqlite3* anotherConnection() {
    sqlite3* other = nullptr;
    if (sqlite3_open((root_.path() + history::HistoryStore::kDevicePath).c_str(), &other) ==
        SQLITE_OK)
      return other;
    sqlite3_close(other);
    return nullptr;
  }
  HistoryRecorder recorder(std::function<double()> clock) {
    options_.sysfs = "/sys/class/power_supply";
    return HistoryRecorder(
        source_, options_, [this](const std::string& line) { said_.push_back(line); },
        std::move(clock));
  }

  testing_support::TempDir root_;
  testing_support::ScopedEnvironment env_;
  OnePack source_;
  HostOptions options_;
  std::vector<std::string> said_;
};

// A clock not set records nothing; in virtual time it is the wall clock at the start that must
// be set, and a recording that begins a year before it is kept whole. In real time the database
// is closed between writes (its WAL file checkpointed away), so the service holds neither it
// nor SQLite; a recording, writing days in seconds, keeps it open.
TEST_F(HistoryRecorderTest, AClockNotSetRecordsNothing) {
  const struct {
    const char* name;
    double wallClock;
    bool virtualTime;
    size_t samples;
  } cases[] = {
      {"the wall clock in 2001", 978307200, false, 0},
      {"the wall clock at the first second of 2026", kEarliestClock, false, 120},
      {"a recording of 400 days replayed to now", kNow, true, 120},
      {"a recording replayed under a clock in 2001", 978307200, true, 0},
  };
  const std::string wal = root_.path() + history::HistoryStore::kDevicePath + "-wal";
  for (const auto& c : cases) {
    std::filesystem::remove_all(root_.path() + "/var");
    said_.clear();
    options_.virtualTime = c.virtualTime;
    options_.duration = 400 * kDay;
    double hostSeconds = 0;
    HistoryRecorder keeping = recorder([&] { return c.wallClock + hostSeconds; });
    run(keeping, hostSeconds, 120);
    EXPECT_EQ(std::filesystem::exists(wal), c.virtualTime) << c.name << ": open between writes";
    EXPECT_EQ(kept(root_.path()).samples.size(), c.samples) << c.name;
    EXPECT_EQ(said_, c.samples ? std::vector<std::string>{}
                               : std::vector<std::string>{"history paused: the clock is not set"})
        << c.name;
  }
}

// Ahead for ten minutes, then put right: the history before stays whole, the samples after it
// are kept, and the wear first logged at the wrong time is logged again as soon as the clock is
// back behind it.
TEST_F(HistoryRecorderTest, AClockAheadForAWhileLosesNothingAndStopsNothing) {
  const struct {
    double ahead;
    long today;  // the samples from now on for a day: every minute after the clock was put right
  } cases[] = {{3 * 365 * kDay, 120}, {2 * 3600, 130}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(root_.path() + "/var");
    earlierRun(20);
    double hostSeconds = 0, ahead = c.ahead;
    HistoryRecorder keeping = recorder([&] { return kNow + ahead + hostSeconds; });
    run(keeping, hostSeconds, 10);
    ahead = 0;
    run(keeping, hostSeconds, 120);
    const Kept k = kept(root_.path());
    EXPECT_EQ(std::count_if(k.samples.begin(), k.samples.end(),
                            [](const history::Sample& s) { return s.time < kNow; }),
              20 * 1440);
    EXPECT_EQ(std::count_if(
                  k.samples.begin(), k.samples.end(),
                  [](const history::Sample& s) { return s.time >= kNow && s.time < kNow + kDay; }),
              c.today)
        << c.ahead;
    ASSERT_EQ(k.health.size(), 1u) << c.ahead;
    EXPECT_EQ(k.health[0].time, kNow + 600) << c.ahead << ": when the clock was put right";
    EXPECT_TRUE(said_.empty());
  }
}

// The wear and the thinning wait for a clock that kept step for an hour awake, however the
// hour is broken up by sleeps, or for none where the system says its clock is synchronised; a
// pack's first wear is logged at once all the same.
TEST_F(HistoryRecorderTest, TheClockIsSettledAfterAnHourAwakeOrWhenTheSystemSaysSo) {
  const struct {
    const char* name;
    int stretches, minutes;  // awake, each followed by ten hours asleep
    double putRight;         // the clock moved at each resume beyond the time slept
    bool synchronised;
    bool settled;
    size_t wear;  // entries logged
  } cases[] = {
      {"awake 50 minutes at a time for three days", 6, 50, 0, false, true, 2},
      {"the same, the clock put right at each resume", 6, 50, 600, false, false, 1},
      {"awake 50 minutes once", 1, 50, 0, false, false, 1},
      {"the system says its clock is synchronised", 1, 2, 0, true, true, 1},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(root_.path() + "/var");
    std::filesystem::remove_all(root_.path() + "/run");
    if (c.synchronised) root_.write("/run/systemd/timesync/synchronized", "");
    earlierRun(35);
    source_.slept = 0;
    double hostSeconds = 0, moved = 0;
    HistoryRecorder keeping = recorder([&] { return kNow + hostSeconds + source_.slept + moved; });
    for (int i = 0; i < c.stretches; ++i, source_.slept += 10 * 3600, moved += c.putRight)
      run(keeping, hostSeconds, c.minutes);
    const Kept k = kept(root_.path());
    EXPECT_EQ(k.health.size(), c.wear) << c.name;
    EXPECT_EQ(std::count_if(k.samples.begin(), k.samples.end(),
                            [](const history::Sample& s) { return s.time < kNow - 33 * kDay; }),
              c.settled ? 2 * 24 : 2 * 1440)
        << c.name << ": the oldest two days folded into hours";
  }
}

// With a settled clock, the wear once at the first status and again at the end of a charge, not
// at every status while full; each sample with the host's times where they are known.
TEST_F(HistoryRecorderTest, TheWearAtFirstAndAtTheEndOfACharge) {
  root_.write("/run/systemd/timesync/synchronized", "");
  double hostSeconds = 0;
  HistoryRecorder keeping = recorder([&] { return kNow + hostSeconds; });
  for (const char* state : {"charging", "charging", "full", "full", "full"}) {
    brimwell::Plist status = discharging(90);
    status.setItem(key::kChargingState, brimwell::Plist::string(state));
    status.setItem(key::kAvgTimeToFull, brimwell::Plist::integer(40));
    status.setItem(key::kAvgTimeToEmpty, brimwell::Plist::integer(brimwell::kUnknownMinutes));
    keeping.onStatus(status, hostSeconds);
    hostSeconds += 60;
  }
  const Kept k = kept(root_.path());
  ASSERT_EQ(k.health.size(), 2u);
  EXPECT_EQ(k.health[1].time, kNow + 120) << "when the charge ended";
  ASSERT_EQ(k.samples.size(), 5u);
  EXPECT_EQ(k.samples[0].minutesToFull, 40);
  EXPECT_EQ(k.samples[0].minutesToEmpty, std::nullopt);
}

// Samples held back while another program holds the database (a day of them at most): written
// with the next status, or at the host's end, or said to be lost when it still holds it then.
TEST_F(HistoryRecorderTest, ADatabaseHeldElsewhereHoldsTheSamplesBack) {
  const std::string waits = "history waits: database is locked; tried again each minute";
  const std::string again = "history written again";
  const struct {
    const char* name;
    int held;  // samples, a second apart as the state flips
    bool letGo;
    int statusesAfter;
    size_t samples;
    std::vector<std::string> said;
    std::string lost;
  } cases[] = {
      {"let go, then a status", 3, true, 1, 5, {waits, again}, ""},
      {"let go, then two statuses", 3, true, 2, 6, {waits, again}, ""},
      {"let go, then the host stops", 3, true, 0, 4, {waits, again}, ""},
      {"a day and a minute held: the oldest go", 1441, true, 1, 1 + 1440, {waits, again}, ""},
      {"held when the host stops",
       3,
       false,
       0,
       1,
       {waits},
       "history: 3 samples held back could not be written before the end"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(root_.path() + "/var");
    said_.clear();
    double hostSeconds = 0;
    HistoryRecorder keeping = recorder([&] { return kNow + hostSeconds; });
    run(keeping, hostSeconds, 1);
    sqlite3* other = anotherConnection();
    ASSERT_TRUE(other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 0; i < c.held; ++i, ++hostSeconds) {
      brimwell::Plist status = discharging(50);
      if (i % 2 == 0) status.setItem(key::kChargingState, brimwell::Plist::string("charging"));
      keeping.onStatus(status, hostSeconds);
    }
    hostSeconds += 60;
    if (c.letGo) sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    run(keeping, hostSeconds, c.statusesAfter);
    EXPECT_EQ(keeping.stop(hostSeconds), c.lost) << c.name;
    sqlite3_close(other);
    EXPECT_EQ(kept(root_.path()).samples.size(), c.samples) << c.name;
    EXPECT_EQ(said_, c.said) << c.name;
  }
}

// A sleep the source measured: its record, with the kernel's word where its files give it (else
// none), kept in the history and worked out all the same where there is none.
TEST_F(HistoryRecorderTest, EachSleepIsKeptWithTheKernelsWord) {
  const BatterySource::SleepCrossing night{7.5 * 3600, 60, 51, 30, 24.12, false, false};
  for (const bool told : {true, false}) {
    std::filesystem::remove_all(root_.path() + "/var");
    if (told) {
      std::filesystem::create_directories(root_.path() + "/sys/power/suspend_stats");
      std::ofstream(root_.path() + "/sys/power/mem_sleep") << "s2idle [deep]\n";
      std::ofstream(root_.path() + "/sys/power/suspend_stats/last_hw_sleep") << "26000000\n";
      std::ofstream(root_.path() + "/sys/power/pm_wakeup_irq") << "9\n";
    } else {
      std::filesystem::remove_all(root_.path() + "/sys");
    }
    HistoryRecorder keeping = recorder([] { return kNow; });
    const history::SleepEntry record = keeping.onSleep(night, 0);
    EXPECT_EQ(record.end, kNow);
    EXPECT_EQ(record.start, kNow - 7.5 * 3600);
    EXPECT_EQ(record.state, told ? "deep" : "") << told;
    EXPECT_EQ(record.hwSleepSeconds, told ? std::optional<double>(26) : std::nullopt);
    EXPECT_EQ(record.wakeup, told ? std::optional<std::string>("irq 9") : std::nullopt);
    EXPECT_DOUBLE_EQ(*record.meanMilliwatts, 5.88 / 7.5 * 1000);
    std::string why;
    const auto reader = history::HistoryStore::openForReading(
        root_.path() + history::HistoryStore::kDevicePath, why);
    ASSERT_TRUE(reader) << why;
    const auto kept = reader->sleepsSince(0);
    ASSERT_EQ(kept.size(), 1u) << told;
    EXPECT_EQ(kept[0].state, record.state);
    EXPECT_EQ(kept[0].levelAfter, 51);
  }
}

// After a sleep: its line always; a notification only above the user's threshold, on battery.
TEST_F(HistoryRecorderTest, TheSleepsLineAndItsNotificationAboveTheThreshold) {
  using testing_support::MockBus;
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus session;
  ASSERT_TRUE(session.startTemplate("notification_daemon", "org.freedesktop.Notifications", false));
  env_.set("DBUS_SESSION_BUS_ADDRESS", session.address());
  const BatterySource::SleepCrossing night{7.5 * 3600, 60, 51, 30, 24.12, false, false},
      mains{7.5 * 3600, 60, 51, 30, 24.12, false, true};
  const char* notice = "\"Lost 9 % in 8 h asleep (1.2 % an hour, 784 mW)\"";
  const struct {
    const BatterySource::SleepCrossing& sleep;
    double alert;
    const char* line;
    const char* notified;  // the notification's body, or none
  } cases[] = {
      {night, 1.0, "sleep lost 9% in 7 h 30 m (1.20 %/h, 784 mW)", notice},
      {night, 1.5, "sleep lost 9% in 7 h 30 m (1.20 %/h, 784 mW)", nullptr},
      {night, 0, "sleep lost 9% in 7 h 30 m (1.20 %/h, 784 mW)", nullptr},
      {mains, 1.0, "sleep 7 h 30 m on external power", nullptr},
  };
  for (const auto& c : cases) {
    const size_t before = session.calls().size();
    std::string why, said;
    auto desktop = DesktopAlerts::connectIfAvailable(why, true, false);
    ASSERT_TRUE(desktop) << why;
    HistoryRecorder keeping = recorder([] { return kNow; });
    reportSleep(c.sleep, 0, keeping, desktop.get(), c.alert,
                [&](const std::string& line) { said += line; });
    desktop.reset();
    EXPECT_EQ(said, c.line);
    const std::string calls = session.calls().substr(before);
    EXPECT_EQ(calls.find("Notify \"Brimwell\" 0 \"battery\" \"Battery drain while asleep\" " +
                         std::string(c.notified ? c.notified : "")) != std::string::npos,
              c.notified != nullptr)
        << c.alert << "\n"
        << calls;
  }
}

// Damage found while writing, or there before the first: the database is set aside and the
// sample that found it is the fresh one's first, before any other status comes. A database that
// cannot be opened at all turns the history off, said once.
TEST_F(HistoryRecorderTest, DamageLosesNotTheSampleThatFoundItAndWhatCannotBeMadeIsSaidOnce) {
  const std::string path = root_.path() + history::HistoryStore::kDevicePath;
  const struct {
    const char* name;
    int before;  // minutes run before the database is spoilt
    std::function<void()> spoil;
    const char* said;
    size_t kept;
    double after = 0;  // seconds from the spoiling to the next status
  } cases[] = {
      {"damaged while the host writes", 1,
       [&] {
         sqlite3* other = anotherConnection();
         ASSERT_TRUE(other);
         // The table's pages pointed past the file's end, as a broken disk might leave it.
         ASSERT_EQ(sqlite3_exec(other,
                                "PRAGMA writable_schema=ON;"
                                "UPDATE sqlite_master SET rootpage=9999 WHERE name='samples';"
                                "PRAGMA writable_schema=OFF;CREATE TABLE bump(x);",
                                nullptr, nullptr, nullptr),
                   SQLITE_OK);
         sqlite3_close(other);
       },
       "is damaged", 1},
      {"damaged where no write reaches it: found at the day's check", 1,
       [&] {
         sqlite3* other = anotherConnection();
         ASSERT_TRUE(other);
         sqlite3_stmt* root = nullptr;
         sqlite3_prepare_v2(other, "SELECT rootpage FROM sqlite_master WHERE name='health'", -1,
                            &root, nullptr);
         ASSERT_EQ(sqlite3_step(root), SQLITE_ROW);
         const long page = sqlite3_column_int(root, 0);
         sqlite3_finalize(root);
         sqlite3_close(other);
         std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp((page - 1) * 4096);
         file.write(std::string(64, '\xff').data(), 64);
       },
       "is damaged", 1, kDay},
      {"damaged before the host starts", 0,
       [&] {
         std::filesystem::create_directories(std::filesystem::path(path).parent_path());
         std::ofstream(path) << std::string(4096, 'x');
       },
       "is not a database: set aside as", 1},
      {"a folder where the database would be", 0,
       [&] { std::filesystem::create_directories(path); }, "history off: ", 0},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(root_.path() + "/var");
    said_.clear();
    double hostSeconds = 0;
    if (c.before == 0) c.spoil();
    HistoryRecorder keeping = recorder([&] { return kNow + hostSeconds; });
    run(keeping, hostSeconds, c.before);
    if (c.before > 0) c.spoil();
    hostSeconds += c.after;
    run(keeping, hostSeconds, c.kept ? 1 : 3);
    ASSERT_EQ(said_.size(), 1u) << c.name;
    EXPECT_NE(said_[0].find(c.said), std::string::npos) << c.name << ": " << said_[0];
    EXPECT_EQ(kept(root_.path()).samples.size(), c.kept) << c.name;
    EXPECT_EQ(keeping.stop(hostSeconds), "") << c.name;
  }
}

}  // namespace
}  // namespace host
