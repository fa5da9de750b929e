// The host's keeping of the history against a wrong clock and a database another program holds.
#include "host/app/history_recorder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "common/status_keys.h"
#include "history/history_store.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace host {
namespace {

constexpr double kDay = 86400;
constexpr double kNow = 1796083200;  // 2026-12-01

// The machine's battery, one pack, read as the test says.
class OnePack : public BatterySource {
 public:
  OnePack() : BatterySource(1) {}
  std::optional<brimwell::Plist> tick(double) override { return std::nullopt; }
  double simulatedSeconds() const override { return 0; }
  std::vector<PackWear> packs() const override { return {{"ACME", "42", 5000, 4500, 80}}; }
};

brimwell::Plist discharging(int percent) {
  brimwell::Plist status = brimwell::Plist::newDictionary();
  status.setItem(brimwell::key::kCurrentCapacityPercent, brimwell::Plist::integer(percent));
  status.setItem(brimwell::key::kChargingState, brimwell::Plist::string("discharging"));
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

TEST_F(HistoryRecorderTest, AClockNotSetRecordsNothing) {
  double hostSeconds = 0;
  HistoryRecorder keeping = recorder([&] { return 978307200 + hostSeconds; });  // 2001
  run(keeping, hostSeconds, 120);
  EXPECT_TRUE(kept(root_.path()).samples.empty());
  EXPECT_TRUE(kept(root_.path()).health.empty());
  EXPECT_EQ(said_, std::vector<std::string>{"history paused: the clock is not set"});
}

// Three years ahead for ten minutes, then put right: the history before stays whole, the
// samples after it are kept, and no wear is logged at the wrong time.
TEST_F(HistoryRecorderTest, AClockAheadForAWhileLosesNothingAndStopsNothing) {
  earlierRun(20);
  double hostSeconds = 0, ahead = 3 * 365 * kDay;
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
            120)
      << "every minute after the clock was put right";
  ASSERT_FALSE(k.health.empty()) << "once the clock kept step for an hour";
  for (const auto& e : k.health) EXPECT_LT(e.time, kNow + kDay);
  EXPECT_TRUE(said_.empty());
}

TEST_F(HistoryRecorderTest, ADatabaseHeldElsewhereHoldsTheSamplesBack) {
  double hostSeconds = 0;
  HistoryRecorder keeping = recorder([&] { return kNow + hostSeconds; });
  run(keeping, hostSeconds, 1);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((root_.path() + history::HistoryStore::kDevicePath).c_str(), &other),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  run(keeping, hostSeconds, 3);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  run(keeping, hostSeconds, 1);
  EXPECT_EQ(kept(root_.path()).samples.size(), 5u);
  EXPECT_EQ(said_,
            (std::vector<std::string>{"history waits: database is locked; tried again each minute",
                                      "history written again"}));
}

}  // namespace
}  // namespace host
