// The machine's sleeps, through the built host on a fixture laptop and a stand-in logind on a
// private system bus: the inhibitor around each sleep, the reading at once after it, the record
// it leaves in the history; and a host without logind.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "tests/support/background_process.h"
#include "tests/support/device_root.h"
#include "tests/support/mock_bus.h"
#include "tests/support/power_supply_fixture.h"
#include "tests/support/silent_bus.h"

namespace {

using testing_support::BackgroundProcess;
using testing_support::DeviceRoot;
using testing_support::MockBus;
using testing_support::runProcess;
using testing_support::writeSupply;

// 31 of 50 Wh at 10 W: 62 %, read at start and then not for half a minute.
void laptop(const DeviceRoot& root, bool mains, const char* energy) {
  writeSupply(root, "sys", "AC", testing_support::mainsAdapter(mains));
  writeSupply(root, "sys", "BAT0",
              {{"type", "Battery"},
               {"status", mains ? "Charging" : "Discharging"},
               {"energy_now", energy},
               {"energy_full", "50000000"},
               {"power_now", "10000000"},
               {"voltage_now", "12600000"}});
}

std::string logind(const MockBus& bus, std::vector<std::string> call) {
  call.insert(call.begin(), {"call", "--address", bus.address(), "--dest", "org.freedesktop.login1",
                             "--object-path", "/org/freedesktop/login1", "--method"});
  return runProcess("/usr/bin/gdbus", call).out;
}

void prepareForSleep(const MockBus& bus, bool sleeping) {
  logind(bus, {"org.freedesktop.DBus.Mock.EmitSignal", "org.freedesktop.login1.Manager",
               "PrepareForSleep", "b", sleeping ? "[<true>]" : "[<false>]"});
}

// The inhibitors the host holds.
int inhibitors(const MockBus& bus) {
  const std::string listed = logind(bus, {"org.freedesktop.login1.Manager.ListInhibitors"});
  int held = 0;
  for (size_t at = 0; (at = listed.find("'Brimwell'", at)) != std::string::npos; ++at) ++held;
  return held;
}

void pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A sleep on battery and one on mains, as logind announces them: the inhibitor held awake and let
// go asleep, the reading within a second of the wake, the line and the record it leaves.
TEST(Sleep, LogindAnnouncesItAndTheHostMeasuresIt) {
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus system;
  ASSERT_TRUE(system.startTemplate("logind", "org.freedesktop.login1", true));
  const struct {
    const char* name;
    bool mains;
    const char* after;   // the energy after the sleep, µWh
    const char* line;    // the headless line: a sleep of seconds tells no rate
    const char* record;  // the figures --sleeps gives: levels, energy lost, ..., external power
  } cases[] = {
      {"on battery", false, "28000000", "] sleep lost 6% in [12] s$", ",62.00,56.00,3.00,,,"},
      {"on mains", true, "32000000", "] sleep [12] s on external power$", ",62.00,64.00,-1.00,"},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    laptop(root, c.mains, "31000000");
    const size_t callsBefore = system.calls().size();
    BackgroundProcess host(
        SPRINGBOARD_SIM, {"--source", "sysfs=" + root.path() + "/sys", "--headless"},
        {{"SIM_DEVICE_ROOT", root.path()}, {"DBUS_SYSTEM_BUS_ADDRESS", system.address()}});
    pause(1000);
    EXPECT_EQ(inhibitors(system), 1) << c.name << ": held while awake";
    prepareForSleep(system, true);
    pause(500);
    EXPECT_EQ(inhibitors(system), 0) << c.name << ": let go once read";
    laptop(root, c.mains, c.after);
    pause(1500);
    prepareForSleep(system, false);
    const auto line = host.readLine(1000);  // within a second of the wake
    ASSERT_TRUE(line) << c.name;
    EXPECT_TRUE(std::regex_search(*line, std::regex(c.line))) << c.name << ": " << *line;
    EXPECT_EQ(inhibitors(system), 1) << c.name << ": taken again";
    host.stop();
    const auto sleeps =
        runProcess(BRIMWELL_VIEWER, {"--sleeps"}, {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_NE(sleeps.out.find(c.record), std::string::npos) << c.name << "\n" << sleeps.out;
    EXPECT_NE(sleeps.out.find(c.mains ? ",true,," : ",false,,"), std::string::npos) << sleeps.out;
    const std::string calls = system.calls().substr(callsBefore);
    EXPECT_EQ(calls.find("Inhibit \"sleep\" \"Brimwell\""), 0u) << c.name << "\n" << calls;
  }
}

// Without logind the host still runs on, finds sleeps from the clock, and says so once; a bus that
// takes the connection and never answers holds nothing up.
TEST(Sleep, WithoutLogindTheHostRunsOnAndSaysSoOnce) {
  testing_support::TempDir sockets;
  const testing_support::SilentBus silent(sockets.path() + "/bus");
  const struct {
    std::string bus;
    size_t said;  // times it says sleeps are measured less precisely
  } cases[] = {{"unix:path=" + sockets.path() + "/nothing", 1}, {silent.address(), 0}};
  for (const auto& c : cases) {
    DeviceRoot root;
    laptop(root, false, "31000000");
    const auto start = std::chrono::steady_clock::now();
    const auto run =
        runProcess(SPRINGBOARD_SIM,
                   {"--source", "sysfs=" + root.path() + "/sys", "--poll", "0.2", "--headless",
                    "--duration", "1"},
                   {{"SIM_DEVICE_ROOT", root.path()}, {"DBUS_SYSTEM_BUS_ADDRESS", c.bus}});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << c.bus;
    EXPECT_EQ(run.exitCode, 0) << c.bus << run.err;
    size_t said = 0;
    for (size_t at = 0; (at = run.err.find("measured less precisely", at)) != std::string::npos;
         ++at)
      ++said;
    EXPECT_EQ(said, c.said) << c.bus << "\n" << run.err;
  }
}

}  // namespace
