// Low-battery warnings and the last action, through the built host on fixture folders that
// change while it runs, and on private buses with stand-in notification and logind services.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
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

// A laptop on battery at a level, or on the charger.
void battery(const DeviceRoot& root, int level, bool charger = false) {
  writeSupply(root, "sys", "AC", testing_support::mainsAdapter(charger));
  writeSupply(root, "sys", "BAT0",
              {{"type", "Battery"},
               {"status", charger ? "Charging" : "Discharging"},
               {"capacity", std::to_string(level)},
               {"charge_full", "4000000"},
               {"current_now", "1000000"},
               {"voltage_now", "12000000"}});
}

// The host on the fixture, read ten times a second, for real seconds.
std::unique_ptr<BackgroundProcess> host(const DeviceRoot& root, double seconds,
                                        std::map<std::string, std::string> env = {}) {
  env["SIM_DEVICE_ROOT"] = root.path();
  env["SIM_LANGUAGES"] = "en";
  return std::make_unique<BackgroundProcess>(
      SPRINGBOARD_SIM,
      std::vector<std::string>{"--source", "sysfs=" + root.path() + "/sys", "--poll", "0.1",
                               "--headless", "--desktop-alerts", "--duration",
                               std::to_string(seconds)},
      env);
}

// The next line that starts with "low-battery" (after the clock), within a few seconds; the
// lines passed over are added to `others`.
std::string nextWarning(BackgroundProcess& process, std::string* others = nullptr) {
  while (const auto line = process.readLine(5000)) {
    const size_t at = line->find("low-battery");
    if (at != std::string::npos) return line->substr(at);
    if (others) *others += *line + "\n";
  }
  return "(none)";
}

// What logind was asked, but for the sleep inhibitor the host holds while it runs.
std::string actions(const std::string& calls) {
  std::string out;
  size_t start = 0;
  for (size_t end; (end = calls.find('\n', start)) != std::string::npos; start = end + 1) {
    if (calls.compare(start, 8, "Inhibit ") != 0) out += calls.substr(start, end + 1 - start);
  }
  return out;
}

void pause() {
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

TEST(LowBattery, EachLevelOnceAndTheCommandExactlyOnce) {
  DeviceRoot root;
  const std::string ran = root.path() + "/ran";
  root.writeSettings(
      "<key>lowAction</key><string>command</string>"
      "<key>lowActionCommand</key><string>echo ran &gt;&gt; " +
      ran + "; seq 5000</string><key>lowActionDelay</key><integer>1</integer>");
  battery(root, 25);
  auto running = host(root, 8);
  for (int level : {21, 20, 21, 20, 19}) {  // a level that wavers
    battery(root, level);
    pause();
  }
  EXPECT_EQ(nextWarning(*running), "low-battery low 20%");
  battery(root, 5);
  EXPECT_EQ(nextWarning(*running), "low-battery critical 5%");
  battery(root, 2);
  EXPECT_EQ(nextWarning(*running).substr(0, 35), "low-battery action command in 1 s, ");
  EXPECT_EQ(nextWarning(*running), "low-battery action command");
  // Its output is not the host's, and how it ended is one line.
  std::string others;
  EXPECT_EQ(
      nextWarning(*running, &others).rfind("low-battery action command: its output goes to ", 0),
      0u);
  EXPECT_EQ(nextWarning(*running, &others), "low-battery action command ended with exit status 0");
  battery(root, 1);
  pause();
  const std::string rest = running->stop();
  EXPECT_EQ(rest.find("low-battery"), std::string::npos) << rest;
  EXPECT_EQ(others.find("4999"), std::string::npos) << others;
  EXPECT_EQ(rest.find("4999"), std::string::npos);
  EXPECT_EQ(root.read("ran"), "ran\n");
}

TEST(LowBattery, TheChargerDuringTheCountdownCancelsIt) {
  DeviceRoot root;
  root.writeSettings(
      "<key>lowAction</key><string>command</string>"
      "<key>lowActionCommand</key><string>touch " +
      root.path() + "/ran</string><key>lowActionDelay</key><integer>2</integer>");
  battery(root, 2);
  auto running = host(root, 40);  // ends long after the charger has held
  EXPECT_EQ(nextWarning(*running).substr(0, 35), "low-battery action command in 2 s, ");
  battery(root, 2, true);
  std::string said = "(none)";
  for (int i = 0; i < 3 && said == "(none)"; ++i) said = nextWarning(*running);
  EXPECT_EQ(said, "low-battery action cancelled") << "once the charger has held, not at the end";
  EXPECT_EQ(running->stop().find("low-battery"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(root.path() + "/ran"));
}

// How a countdown can end without its action: the battery gone at the last check, the action
// switched off meanwhile, the host stopped (which takes the countdown back); a system bus that
// never answers holds nothing up.
TEST(LowBattery, ACountdownThatEndsWithoutItsAction) {
  const std::string last = "low-battery action cancelled";
  const struct {
    const char* name;
    std::function<void(const DeviceRoot&)> meanwhile;
  } cases[] = {
      {"the battery gone",
       [](const DeviceRoot& root) { std::filesystem::remove_all(root.path() + "/sys/BAT0"); }},
      {"the action switched off",
       [](const DeviceRoot& root) {
         root.writeSettings("<key>lowAction</key><string>none</string>");
       }},
      {"the host stopped", [](const DeviceRoot&) {}},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.writeSettings(
        "<key>lowAction</key><string>command</string>"
        "<key>lowActionCommand</key><string>touch " +
        root.path() + "/ran</string><key>lowActionDelay</key><integer>2</integer>");
    battery(root, 2);
    auto running = host(root, 60);
    EXPECT_EQ(nextWarning(*running).substr(0, 35), "low-battery action command in 2 s, ") << c.name;
    const bool stopped = std::string(c.name) == "the host stopped";
    c.meanwhile(root);
    // The last check ends it while the host runs; a host that stops ends it on its way out.
    if (!stopped) {
      EXPECT_EQ(nextWarning(*running), last) << c.name;
    }
    const std::string rest = running->stop();
    if (stopped) {
      EXPECT_NE(rest.find(last), std::string::npos) << c.name << "\n" << rest;
    }
    EXPECT_EQ(rest.find("low-battery action command\n"), std::string::npos) << c.name;
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/ran")) << c.name;
  }
}

TEST(LowBattery, ASystemBusThatNeverAnswersHoldsNothingUp) {
  testing_support::TempDir sockets;
  const testing_support::SilentBus silent(sockets.path() + "/bus");  // takes it, says nothing
  DeviceRoot root;
  root.writeSettings(
      "<key>lowAction</key><string>suspend</string>"
      "<key>lowActionDelay</key><integer>1</integer>");
  battery(root, 2);
  auto running = host(root, 60, {{"DBUS_SYSTEM_BUS_ADDRESS", silent.address()}});
  nextWarning(*running);
  EXPECT_EQ(nextWarning(*running), "low-battery action suspend");
  battery(root, 2, true);  // the charger comes while logind is being asked
  pause();
  const auto stopping = std::chrono::steady_clock::now();
  running->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(3))
      << "SIGTERM ends the host at once";
}

TEST(LowBatteryOnTheDesktop, UrgencyReplacementWithdrawalAndOneSuspend) {
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus session, system;
  ASSERT_TRUE(session.startTemplate("notification_daemon", "org.freedesktop.Notifications", false));
  ASSERT_TRUE(system.startTemplate("logind", "org.freedesktop.login1", true));
  DeviceRoot root;
  root.writeSettings(
      "<key>lowAction</key><string>suspend</string>"
      "<key>lowActionDelay</key><integer>1</integer>");
  battery(root, 20);
  auto running = host(root, 6,
                      {{"DBUS_SESSION_BUS_ADDRESS", session.address()},
                       {"DBUS_SYSTEM_BUS_ADDRESS", system.address()}});
  EXPECT_EQ(nextWarning(*running), "low-battery low 20%");
  battery(root, 5);
  EXPECT_EQ(nextWarning(*running), "low-battery critical 5%");
  battery(root, 2);
  nextWarning(*running);
  EXPECT_EQ(nextWarning(*running), "low-battery action suspend");
  battery(root, 30, true);
  pause();
  running->stop();

  EXPECT_EQ(actions(system.calls()), "CanSuspend\nSuspend False\n");
  const std::string notes = session.calls();
  const auto at = [&](const std::string& part) { return notes.find(part); };
  EXPECT_NE(at("Notify \"Brimwell\" 0 \"battery-low\" \"Battery low\""), std::string::npos)
      << notes;
  EXPECT_NE(at("Notify \"Brimwell\" 1 \"battery-caution\" \"Battery critically low\""),
            std::string::npos)
      << "replaces the first, " << notes;
  EXPECT_NE(at("\", \"Cancel\"] {\"urgency\": 2"), std::string::npos)
      << "the action with its Cancel, " << notes;
  EXPECT_NE(at("{\"urgency\": 1"), std::string::npos) << notes;
  EXPECT_NE(at("\"Battery almost empty\" \"Suspended at 2%.\" [] {\"urgency\": 1}"),
            std::string::npos)
      << "what was done replaces the countdown, " << notes;
  EXPECT_NE(at("CloseNotification 1"), std::string::npos) << "withdrawn on the charger, " << notes;
}

// A charger that comes and goes, an idle pack on mains, a driver that says charging while the
// level falls, a countdown its last check drops or the user cancels, a charger that does not keep
// up, logind that refuses or is not there: what logind and the desktop are asked. Each move
// replaces one fixture file whole, then waits; one without a file waits for the host's next
// low-battery line, or presses the countdown's Cancel.
TEST(LowBatteryOnTheDesktop, WhatTheChargerAndTheLastCheckLeadTo) {
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus session, system, refusing, bare;  // bare: a system bus without logind
  ASSERT_TRUE(session.startTemplate("notification_daemon", "org.freedesktop.Notifications", false));
  ASSERT_TRUE(system.startTemplate("logind", "org.freedesktop.login1", true));
  ASSERT_TRUE(
      refusing.startTemplate("logind", "org.freedesktop.login1", true, "{\"CanSuspend\": \"no\"}"));
  struct Move {
    std::string file, value;
    int ms;
  };
  const Move announced{"", "", 0}, cancel{"", "Cancel", 0}, wait{"AC/online", "0", 2000};
  std::vector<Move> flaps{announced}, falls;
  for (int i = 0; i < 17; ++i) {
    flaps.push_back({"AC/online", i % 2 ? "1" : "0", 0});
    flaps.push_back({"BAT0/status", i % 2 ? "Charging" : "Discharging", 250});
  }
  for (const char* level : {"6", "5", "4", "3", "2"})
    falls.push_back({"BAT0/capacity", level, 400});
  falls.back().ms = 2000;
  const std::vector<Move> drop{announced, {"BAT0/capacity", "3", 2000}},
      draws{{"BAT0/current_now", "1100000", 2500}}, cancelled{announced, cancel, wait, wait},
      refused{announced, wait}, idle{{"AC/online", "1", 3000}};
  const char *suspended = "CanSuspend\nSuspend False\n", *done = "Suspended at 2%.";
  const std::string failed = "The low-battery action failed\" \"",
                    countdown = "Battery almost empty\" \"2% left. Suspending in ";
  const char *dis = "Discharging", *amp = "1000000";
  const struct {
    const char* name;
    int delay, level;  // the countdown's seconds, the level at the start
    bool charger;
    const char *status, *current;
    const std::vector<Move>& moves;
    const char* logind;
    size_t notices;
    std::string last;  // the last notice's summary and body, or their start
    bool atOnce;       // withdrawn while the host runs, not as it exits
    MockBus* logindBus;
  } cases[] = {
      {"flapping", 1, 2, false, dis, amp, flaps, suspended, 2, done, 0, &system},
      {"idle on mains", 1, 1, true, "Not charging", "-3000", idle, "", 0, "", 0, &system},
      {"charging, falling", 1, 7, true, "Charging", amp, falls, suspended, 3, done, 0, &system},
      {"dropped", 1, 2, false, dis, amp, drop, "", 1, countdown, 1, &system},
      {"cancelled", 3, 2, false, dis, amp, cancelled, "", 1, countdown, 1, &system},
      {"not keeping up", 1, 2, true, dis, amp, draws, suspended, 2, done, 0, &system},
      {"logind says no", 1, 2, false, dis, amp, refused, "CanSuspend\n", 2,
       failed + "logind answers CanSuspend with &quot;no&quot;", 0, &refusing},
      {"no logind", 1, 2, false, dis, amp, refused, "", 2,
       failed + "CanSuspend: The name org.freedesktop.login1 was not provided", 0, &bare},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.writeSettings(
        "<key>lowAction</key><string>suspend</string><key>lowActionDelay</key><integer>" +
        std::to_string(c.delay) + "</integer>");
    battery(root, c.level, c.charger);
    writeSupply(root, "sys", "BAT0", {{"status", c.status}, {"current_now", c.current}});
    MockBus& logind = *c.logindBus;
    const size_t logindBefore = logind.calls().size(), notesBefore = session.calls().size();
    auto running = host(root, 60,
                        {{"DBUS_SESSION_BUS_ADDRESS", session.address()},
                         {"DBUS_SYSTEM_BUS_ADDRESS", logind.address()}});
    pause();
    for (const Move& m : c.moves) {
      if (m.file.empty() && m.value.empty()) nextWarning(*running);
      if (m.file.empty() && !m.value.empty()) {  // the service numbers new notices from 1
        const std::string calls = session.calls();
        const size_t end = calls.rfind("\", \"Cancel\"]"), start = calls.rfind("[\"", end) + 2;
        size_t id = 0;
        for (size_t at = 0; (at = calls.find("Notify \"Brimwell\" 0 ", at)) != calls.npos; ++at)
          ++id;
        runProcess("/usr/bin/gdbus", {"call", "--address", session.address(), "--dest",
                                      "org.freedesktop.Notifications", "--object-path",
                                      "/org/freedesktop/Notifications", "--method",
                                      "org.freedesktop.DBus.Mock.EmitSignal",
                                      "org.freedesktop.Notifications", "ActionInvoked", "us",
                                      "[<uint32 " + std::to_string(id) + ">, <'" +
                                          calls.substr(start, end - start) + "'>]"});
      }
      if (m.file.empty()) continue;
      root.write("sys/" + m.file + ".new", m.value + "\n");
      std::filesystem::rename(root.path() + "/sys/" + m.file + ".new",
                              root.path() + "/sys/" + m.file);
      std::this_thread::sleep_for(std::chrono::milliseconds(m.ms));
    }
    const std::string whileRunning = session.calls().substr(notesBefore);
    running->stop();
    pause();  // for the services to log the last calls
    EXPECT_EQ(actions(logind.calls().substr(logindBefore)), c.logind) << c.name;
    const std::string notes = session.calls().substr(notesBefore);
    size_t notices = 0;
    for (size_t at = 0; (at = notes.find("Notify ", at)) != notes.npos; ++at) ++notices;
    EXPECT_EQ(notices, c.notices) << c.name << "\n" << notes;
    if (c.notices == 0) continue;
    // Nothing is left up when the host has gone.
    const size_t closed = (c.atOnce ? whileRunning : notes).rfind("CloseNotification");
    EXPECT_TRUE(closed != std::string::npos && closed > notes.rfind("Notify ")) << c.name << notes;
    EXPECT_NE(notes.rfind("\"" + c.last), std::string::npos) << c.name;
  }
}

// One run of the service on the fixture as it stands: what it printed on both outputs.
testing_support::ProcessResult serviceRun(const DeviceRoot& root) {
  return runProcess(
      SPRINGBOARD_SIM,
      {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "1"},
      {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
}

// A hand-edited settings file is said once: levels out of order, a command line others may change.
TEST(LowBattery, WhatIsWrongWithTheSettingsIsSaidOnce) {
  DeviceRoot root;
  root.writeSettings(
      "<key>lowLevel</key><integer>5</integer><key>criticalLevel</key><integer>20</integer>"
      "<key>lowAction</key><string>command</string><key>lowActionCommand</key><string>true</"
      "string>");
  const std::string settings = root.path() + DeviceRoot::kSettings;
  std::filesystem::permissions(settings, std::filesystem::perms::group_write,
                               std::filesystem::perm_options::add);
  battery(root, 50);
  EXPECT_EQ(serviceRun(root).err,
            "springboard-sim: settings: lowLevel 5, criticalLevel 20, actionLevel 2 are out of "
            "order; using lowLevel 20, criticalLevel 5, actionLevel 2\n"
            "springboard-sim: lowAction command will not run: " +
                settings + " is writable by others\n");
}

// The laptop's defaults for every key the user has not set, whichever came first: the service or
// brimwell-prefs; a choice the user made is kept, and a file that is no settings dictionary, or
// not a plain file, is left as it is.
TEST(OutOfTheBox, TheLaptopsDefaultsForEveryKeyNotSetAndTheUsersChoicesKept) {
  const std::string notSet = "wrote a laptop's defaults for the settings not set (chargeMode, ";
  const struct {
    std::vector<std::string> prefs;  // brimwell-prefs run first, if any
    std::string file;                // else the settings file's bytes ("->" before: a link to them)
    std::string said;                // the service's line up to the settings path, if any
    bool completion;                 // "Charging is complete"
    std::vector<std::string> shown;  // lines of brimwell-prefs show that begin so, afterwards
  } cases[] = {
      {{},
       "",
       "no settings yet: wrote a laptop's defaults to ",
       true,
       {"  chargeMode        2 (default) ", "  isSound           on (default) ",
        "  sleepDrainAlert   1.5 (default) "}},
      {{"set", "lowAction", "suspend"},
       "",
       notSet + "isPopAlert, isSound, lowLevel, criticalLevel, actionLevel, lowActionDelay, "
                "lowRepeatMinutes, sleepDrainAlert) to ",
       true,
       {"  lowAction         suspend  ", "  isPopAlert        on (default) "}},
      {{"set", "isPopAlert", "off"},
       "",
       notSet + "isSound, lowLevel, criticalLevel, actionLevel, lowAction, lowActionDelay, "
                "lowRepeatMinutes, sleepDrainAlert) to ",
       false,
       {"  isPopAlert        off  "}},
      {{}, "garbage", "", false, {}},
      {{},
       "->" + testing_support::plistXml("<key>alertLevel</key><integer>80</integer>"),
       "",
       false,
       {"  alertLevel        80 "}},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    battery(root, 100, true);
    writeSupply(root, "sys", "BAT0",
                {{"type", "Battery"}, {"status", "Full"}, {"capacity", "100"}});
    const std::string settings = root.path() + DeviceRoot::kSettings;
    const bool link = c.file.rfind("->", 0) == 0;
    const std::map<std::string, std::optional<std::string>> device = {
        {"SIM_DEVICE_ROOT", root.path()}};
    if (!c.prefs.empty()) {
      ASSERT_EQ(runProcess(BRIMWELL_PREFS, c.prefs, device).exitCode, 0);
    }
    if (!c.file.empty())
      root.write(link ? "/elsewhere" : DeviceRoot::kSettings, c.file.substr(link ? 2 : 0));
    if (link) {
      std::filesystem::create_directories(std::filesystem::path(settings).parent_path());
      std::filesystem::create_symlink(root.path() + "/elsewhere", settings);
    }
    const std::string before = root.settingsFile();
    const auto first = serviceRun(root);
    EXPECT_EQ(first.err.substr(0, first.err.find(settings)),
              c.said.empty() ? "" : "springboard-sim: " + c.said);
    EXPECT_EQ(std::count(first.err.begin(), first.err.end(), '\n'), c.said.empty() ? 0 : 1);
    EXPECT_TRUE(!c.said.empty() || root.settingsFile() == before) << c.file << ": left as it is";
    EXPECT_EQ(std::filesystem::is_symlink(settings), link);
    EXPECT_EQ(first.out.find("\"Charging is complete\"") != std::string::npos, c.completion)
        << first.out;
    const std::string written = root.settingsFile();
    EXPECT_EQ(serviceRun(root).err, "") << "said once";
    EXPECT_EQ(root.settingsFile(), written) << "written once";
    const std::string shown = runProcess(BRIMWELL_PREFS, {"show"}, device).out;
    for (const std::string& line : c.shown) {
      EXPECT_NE(shown.find("\n" + line), std::string::npos) << line << shown;
    }
  }
}

// A restart while the charger stays in does not repeat the alerts of the same charge.
TEST(OutOfTheBox, ARestartDuringTheSameChargeDoesNotRepeatItsAlerts) {
  DeviceRoot root;
  root.writeSettings("<key>alertLevel</key><integer>80</integer>");
  const struct {
    const char* name;
    int level;
    bool charger;
    bool dialog;
  } runs[] = {
      {"the alert", 85, true, true},
      {"a restart in the same charge", 86, true, false},
      {"on battery", 84, false, false},
      {"the next charge", 85, true, true},
      {"the charger out while no host ran", 60, true, false},
      {"then past the level again", 81, true, true},
  };
  for (const auto& run : runs) {
    battery(root, run.level, run.charger);
    const auto result = serviceRun(root);
    EXPECT_EQ(result.out.find("Charging has reached 80%") != std::string::npos, run.dialog)
        << run.name << "\n"
        << result.out;
  }
}

}  // namespace
