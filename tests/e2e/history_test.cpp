// The battery's history through the built host: a generated week replayed in virtual time, a
// host killed while it writes, a file that is not a database, a history that cannot be written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "tests/support/background_process.h"
#include "tests/support/device_root.h"
#include "tests/support/power_supply_fixture.h"
#include "tests/support/recordings.h"

namespace {

using testing_support::DeviceRoot;
using testing_support::runProcess;

constexpr const char* kHistory = "/var/mobile/Library/Brimwell/history.sqlite";

// One value of a query on the database, as text; "" when it gives none.
std::string query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string value;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0)) {
      value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return value;
}

testing_support::ProcessResult replay(const DeviceRoot& root, const std::string& recording) {
  return runProcess(SPRINGBOARD_SIM,
                    {"--source", "replay=" + recording, "--virtual-time", "--history"},
                    {{"SIM_DEVICE_ROOT", root.path()}});
}

TEST(History, AWeekReplayedInVirtualTimeIsAWeekUpToNow) {
  DeviceRoot root;
  const std::string recording = root.write("week.plist", testing_support::daysOfCharges(7));
  const auto host = replay(root, recording);
  ASSERT_EQ(host.exitCode, 0) << host.err;
  const std::string db = root.path() + kHistory;
  EXPECT_EQ(query(db, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(query(db, "SELECT COUNT(*) FROM samples"), std::to_string(7 * 1440));
  const double now = static_cast<double>(std::time(nullptr));
  EXPECT_NEAR(std::stod(query(db, "SELECT MAX(time) FROM samples")), now, 120);
  EXPECT_NEAR(std::stod(query(db, "SELECT MIN(time) FROM samples")), now - 7 * 86400, 120);
  EXPECT_GE(std::stoi(query(db, "SELECT COUNT(*) FROM health")), 7) << "once a day at least";
  EXPECT_EQ(query(db, "SELECT serial || ' ' || design || ' ' || full FROM health"), "42 4400 4000");
}

// A laptop's first wear is logged at its first reading; the next ones once the clock is settled:
// at once where the system says it is synchronised, else not in the first hour.
TEST(History, TheWearWaitsForASettledClock) {
  const struct {
    const char* name;
    bool synchronised;
    const char* duration;
    const char* entries;
  } cases[] = {
      {"synchronised, ten minutes", true, "600", "1"},
      {"no word from the system, ten minutes: the first at once", false, "600", "1"},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.writeSettings("");
    if (c.synchronised) root.write("/run/systemd/timesync/synchronized", "");
    testing_support::writeSupply(root, "sys", "BAT0", testing_support::chargeBasedBattery());
    const auto host = runProcess(
        SPRINGBOARD_SIM,
        {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", c.duration},
        {{"SIM_DEVICE_ROOT", root.path()}});
    ASSERT_EQ(host.exitCode, 0) << c.name << host.err;
    EXPECT_EQ(query(root.path() + kHistory, "SELECT COUNT(*) FROM health"), c.entries) << c.name;
  }
}

TEST(History, AHostKilledWhileItWritesLeavesAWholeDatabase) {
  DeviceRoot root;
  const std::string recording = root.write("days.plist", testing_support::daysOfCharges(3));
  const std::string db = root.path() + kHistory;
  long before = 0;
  for (const int afterMs : {20, 150, 400}) {
    testing_support::BackgroundProcess host(
        SPRINGBOARD_SIM, {"--source", "replay=" + recording, "--virtual-time", "--history"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    // Killed while it writes: once it has written something more (a slow build, or a loaded
    // machine, takes a while to start).
    const auto written = [&] { return std::stol("0" + query(db, "SELECT COUNT(*) FROM samples")); };
    long seen = 0;
    for (int i = 0; i < 300 && (seen = written()) <= before; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    ::kill(host.pid(), SIGKILL);
    host.stop();
    EXPECT_EQ(query(db, "PRAGMA integrity_check"), "ok") << "killed after " << afterMs << " ms";
    const long samples = written();
    EXPECT_GE(samples, seen) << "what was written stays";
    EXPECT_GT(samples, before);
    before = samples;
  }
  EXPECT_GT(before, 0);
}

TEST(History, AFileThatIsNotADatabaseIsSetAsideAndOneThatCannotBeWrittenIsOff) {
  const struct {
    const char* name;
    const char* planted;  // relative to the device root
    std::string said;
    bool kept;  // the history goes on in a fresh database
  } cases[] = {
      {"not a database", kHistory, "is not a database: set aside as", true},
      {"a file where the folder should be", "/var/mobile/Library/Brimwell",
       "springboard-sim: history off: ", false},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.write(c.planted, std::string(8192, 'x'));
    const std::string recording = root.write("day.plist", testing_support::daysOfCharges(1));
    const auto host = replay(root, recording);
    EXPECT_EQ(host.exitCode, 0) << c.name;
    EXPECT_NE(host.err.find(c.said), std::string::npos) << c.name << ": " << host.err;
    EXPECT_EQ(std::count(host.err.begin(), host.err.end(), '\n'), 1) << c.name << host.err;
    EXPECT_TRUE(root.hasStatusFile()) << c.name << ": the status file goes on";
    if (c.kept) {
      EXPECT_EQ(query(root.path() + kHistory, "SELECT COUNT(*) FROM samples"), "1440") << c.name;
    }
  }
}

}  // namespace
