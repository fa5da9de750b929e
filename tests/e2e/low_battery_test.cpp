// Low-battery warnings and the last action, through the built host on fixture folders that
// change while it runs, and on private buses with stand-in notification and logind services.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "tests/support/background_process.h"
#include "tests/support/device_root.h"
#include "tests/support/mock_bus.h"
#include "tests/support/power_supply_fixture.h"

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

// The next line that starts with "low-battery" (after the clock), within a few seconds.
std::string nextWarning(BackgroundProcess& process) {
  while (const auto line = process.readLine(5000)) {
    const size_t at = line->find("low-battery");
    if (at != std::string::npos) return line->substr(at);
  }
  return "(none)";
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
      ran + "</string><key>lowActionDelay</key><integer>1</integer>");
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
  battery(root, 1);
  pause();
  const std::string rest = running->stop();
  EXPECT_EQ(rest.find("low-battery"), std::string::npos) << rest;
  EXPECT_EQ(root.read("ran"), "ran\n");
}

TEST(LowBattery, TheChargerDuringTheCountdownCancelsIt) {
  DeviceRoot root;
  root.writeSettings(
      "<key>lowAction</key><string>command</string>"
      "<key>lowActionCommand</key><string>touch " +
      root.path() + "/ran</string><key>lowActionDelay</key><integer>2</integer>");
  battery(root, 2);
  auto running = host(root, 4);
  EXPECT_EQ(nextWarning(*running).substr(0, 35), "low-battery action command in 2 s, ");
  battery(root, 2, true);
  EXPECT_EQ(nextWarning(*running), "low-battery action cancelled");
  running->stop();
  EXPECT_FALSE(std::filesystem::exists(root.path() + "/ran"));
}

// How a countdown can end without its action: the battery gone at the last check, the action
// switched off meanwhile, the host stopped (which takes the countdown back); a system bus that
// never answers holds nothing up.
TEST(LowBattery, ACountdownThatEndsWithoutItsAction) {
  const struct {
    const char* name;
    std::function<void(const DeviceRoot&)> meanwhile;
    std::string last;  // the last low-battery line
  } cases[] = {
      {"the battery gone",
       [](const DeviceRoot& root) { std::filesystem::remove_all(root.path() + "/sys/BAT0"); },
       "low-battery action cancelled"},
      {"the action switched off",
       [](const DeviceRoot& root) {
         root.writeSettings("<key>lowAction</key><string>none</string>");
       },
       "low-battery action cancelled"},
      {"the host stopped", [](const DeviceRoot&) {}, "low-battery action cancelled"},
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
      EXPECT_EQ(nextWarning(*running), c.last) << c.name;
    }
    const std::string rest = running->stop();
    if (stopped) {
      EXPECT_NE(rest.find(c.last), std::string::npos) << c.name << "\n" << rest;
    }
    EXPECT_EQ(rest.find("low-battery action command\n"), std::string::npos) << c.name;
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/ran")) << c.name;
  }
}

TEST(LowBattery, ASystemBusThatNeverAnswersHoldsNothingUp) {
  testing_support::TempDir sockets;
  const std::string path = sockets.path() + "/bus";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);  // takes the connection, says nothing
  DeviceRoot root;
  root.writeSettings(
      "<key>lowAction</key><string>suspend</string>"
      "<key>lowActionDelay</key><integer>1</integer>");
  battery(root, 2);
  auto running = host(root, 60, {{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + path}});
  nextWarning(*running);
  EXPECT_EQ(nextWarning(*running), "low-battery action suspend");
  battery(root, 2, true);  // the charger comes while logind is being asked
  pause();
  const auto stopping = std::chrono::steady_clock::now();
  running->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(3))
      << "SIGTERM ends the host at once";
  ::close(listener);
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

  EXPECT_EQ(system.calls(), "CanSuspend\nSuspend False\n");
  const std::string notes = session.calls();
  const auto at = [&](const std::string& part) { return notes.find(part); };
  EXPECT_NE(at("Notify \"Brimwell\" 0 \"battery-low\" \"Battery low\""), std::string::npos)
      << notes;
  EXPECT_NE(at("Notify \"Brimwell\" 1 \"battery-caution\" \"Battery critically low\""),
            std::string::npos)
      << "replaces the first, " << notes;
  EXPECT_NE(at("[\"cancel\", \"Cancel\"] {\"urgency\": 2"), std::string::npos)
      << "the action with its Cancel, " << notes;
  EXPECT_NE(at("{\"urgency\": 1"), std::string::npos) << notes;
  EXPECT_NE(at("CloseNotification 1"), std::string::npos) << "withdrawn on the charger, " << notes;
}

// One run of the service on the fixture as it stands: what it printed on both outputs.
testing_support::ProcessResult serviceRun(const DeviceRoot& root) {
  return runProcess(
      SPRINGBOARD_SIM,
      {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "1"},
      {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
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
       {"  chargeMode       2 (laptop default) ", "  isSound          on (laptop default) "}},
      {{"set", "lowAction", "suspend"},
       "",
       notSet + "isPopAlert, isSound, lowLevel, criticalLevel, actionLevel, lowActionDelay, "
                "lowRepeatMinutes) to ",
       true,
       {"  lowAction        suspend  ", "  isPopAlert       on (laptop default) "}},
      {{"set", "isPopAlert", "off"},
       "",
       notSet + "isSound, lowLevel, criticalLevel, actionLevel, lowAction, lowActionDelay, "
                "lowRepeatMinutes) to ",
       false,
       {"  isPopAlert       off  "}},
      {{}, "garbage", "", false, {}},
      {{},
       "->" + testing_support::plistXml("<key>alertLevel</key><integer>80</integer>"),
       "",
       false,
       {"  alertLevel       80 "}},
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
