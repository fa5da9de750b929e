// Dialogs mirrored as desktop notifications, captured on a private session bus.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "host/app/device_alert_watch.h"
#include "host/desktop/desktop_alerts.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/background_process.h"
#include "tests/support/device_root.h"
#include "tests/support/mock_bus.h"
#include "tests/support/power_supply_fixture.h"
#include "tests/support/scoped_environment.h"

namespace {

namespace fs = std::filesystem;
using testing_support::BackgroundProcess;
using testing_support::DeviceRoot;
using testing_support::MockBus;
using testing_support::runProcess;

const char* kRecording =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>"
    "<dict><key>AppleRawCurrentCapacity</key><integer>500</integer><key>AppleRawMaxCapacity</key>"
    "<integer>1000</integer><key>ExternalConnected</key><true/></dict>"
    "<dict><key>AppleRawCurrentCapacity</key><integer>1000</integer><key>AppleRawMaxCapacity</key>"
    "<integer>1000</integer><key>ExternalConnected</key><true/></dict>"
    "</array></plist>";

// A laptop on battery at a level, as a fixture folder the host reads ten times a second.
void laptopAt(const DeviceRoot& root, int percent) {
  testing_support::writeSupply(root, "sys", "AC", testing_support::mainsAdapter(false));
  testing_support::writeSupply(root, "sys", "BAT0",
                               {{"type", "Battery"},
                                {"status", "Discharging"},
                                {"capacity", std::to_string(percent)},
                                {"charge_full", "4000000"},
                                {"current_now", "1000000"},
                                {"voltage_now", "12000000"}});
}

// The headless laptop service on that folder, both outputs in one pipe.
std::unique_ptr<BackgroundProcess> laptopService(const DeviceRoot& root,
                                                 const std::string& address) {
  return std::make_unique<BackgroundProcess>(
      "/bin/sh",
      std::vector<std::string>{"-c", "exec \"$0\" \"$@\" 2>&1", SPRINGBOARD_SIM, "--source",
                               "sysfs=" + root.path() + "/sys", "--poll", "0.1", "--headless",
                               "--desktop-alerts", "--log-status", "--duration", "5"},
      std::map<std::string, std::string>{{"SIM_DEVICE_ROOT", root.path()},
                                         {"SIM_LANGUAGES", "en"},
                                         {"DBUS_SESSION_BUS_ADDRESS", address}});
}

// A socket where the kernel takes connections into the backlog and nobody ever answers; -1 when
// it cannot be made.
int muteBus(const std::string& path) {
  const int bus = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (bind(bus, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(bus, 8) != 0) {
    close(bus);
    return -1;
  }
  return bus;
}

TEST(DesktopAlerts, EachDialogBecomesANotificationReplacingThePreviousOne) {
  BackgroundProcess bus("/usr/bin/dbus-daemon",
                        {"--session", "--nofork", "--nopidfile", "--print-address=1"});
  const auto address = bus.readLine(5000);
  ASSERT_TRUE(address && !address->empty()) << "no private session bus";
  BackgroundProcess server(FAKE_NOTIFICATION_SERVER, {*address});
  ASSERT_EQ(server.readLine(5000), "ready");

  DeviceRoot root;
  root.runScenario("settings alertLevel=50 isPopAlert=true isSound=true\n");
  const std::string recording = root.write("session.plist", kRecording);
  const auto host = runProcess(
      SPRINGBOARD_SIM, {"--source", "replay=" + recording, "--virtual-time", "--desktop-alerts"},
      {{"SIM_DEVICE_ROOT", root.path()},
       {"SIM_LANGUAGES", "en"},
       {"DBUS_SESSION_BUS_ADDRESS", *address}});
  ASSERT_EQ(host.exitCode, 0) << host.err;
  EXPECT_NE(host.out.find("dialog \"Message\" \"Charging is complete\" \"OK\""), std::string::npos)
      << "the transcript still has them";

  // On the desktop the summary says what happened, under the application's own name.
  EXPECT_EQ(
      server.readLine(5000),
      "Notify app=\"Brimwell\" replaces=0 id=1 summary=\"Charging has reached 50%\" body=\"\"");
  EXPECT_EQ(server.readLine(5000),
            "Notify app=\"Brimwell\" replaces=1 id=1 summary=\"Charging is complete\" body=\"\"");
  EXPECT_EQ(server.stop(), "");
}

// A notification service that takes each call and never answers costs the host its bound once,
// not 25 s an alert, and is said once.
TEST(DesktopAlerts, ANotificationServiceThatNeverAnswersDoesNotHoldTheHost) {
  BackgroundProcess bus("/usr/bin/dbus-daemon",
                        {"--session", "--nofork", "--nopidfile", "--print-address=1"});
  const auto address = bus.readLine(5000);
  ASSERT_TRUE(address && !address->empty()) << "no private session bus";
  BackgroundProcess server(FAKE_NOTIFICATION_SERVER, {*address, "--silent"});
  ASSERT_EQ(server.readLine(5000), "ready");

  DeviceRoot root;
  root.runScenario("settings alertLevel=50 isPopAlert=true\n");
  const std::string recording = root.write("session.plist", kRecording);
  const auto started = std::chrono::steady_clock::now();
  const auto host = runProcess(
      SPRINGBOARD_SIM, {"--source", "replay=" + recording, "--virtual-time", "--desktop-alerts"},
      {{"SIM_DEVICE_ROOT", root.path()}, {"DBUS_SESSION_BUS_ADDRESS", *address}});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ASSERT_EQ(host.exitCode, 0) << host.err;
  EXPECT_LT(seconds, 10) << "held by the service";
  EXPECT_EQ(host.err,
            "springboard-sim: desktop notifications unavailable: the notification service did "
            "not answer within 2 s\n");
}

TEST(DesktopAlerts, NoSoundDeviceIsSaidOnceForAllAlerts) {
  BackgroundProcess bus("/usr/bin/dbus-daemon",
                        {"--session", "--nofork", "--nopidfile", "--print-address=1"});
  const auto address = bus.readLine(5000);
  ASSERT_TRUE(address && !address->empty()) << "no private session bus";

  DeviceRoot root;
  root.write(
      "System/Library/Audio/UISounds/alert_sound.wav",
      testing_support::readFile(BRIMWELL_BUILD_DIR "/share/brimwell/sounds/alert_sound.wav"));
  root.runScenario("settings alertLevel=50 isPopAlert=true isSound=true\n");
  const std::string recording = root.write("session.plist", kRecording);
  // Sound through ALSA to a card that is not there, whatever this machine has.
  const auto host = runProcess(
      SPRINGBOARD_SIM, {"--source", "replay=" + recording, "--virtual-time", "--desktop-alerts"},
      {{"SIM_DEVICE_ROOT", root.path()},
       {"DBUS_SESSION_BUS_ADDRESS", *address},
       {"CANBERRA_DRIVER", "alsa"},
       {"ALSA_CARD", "brimwell-no-such-card"}});
  ASSERT_EQ(host.exitCode, 0) << host.err;
  EXPECT_EQ(std::count(host.out.begin(), host.out.end(), '\n'), 5) << "two dialogs, two sounds";
  EXPECT_EQ(host.err,
            "springboard-sim: alert sound unavailable: cannot find card 'brimwell-no-such-card' "
            "(File or data not found)\n");
}

// Desktop alerts asked for and not to be had are said once, with why; the host goes on.
TEST(DesktopAlerts, WithoutASessionBusTheHostSaysSoOnce) {
  const struct {
    const char* name;
    std::optional<std::string> address;
    const char* said;
  } cases[] = {
      {"no bus at all", std::nullopt,
       "springboard-sim: desktop alerts unavailable: no session bus (DBUS_SESSION_BUS_ADDRESS is "
       "not set and there is no bus in XDG_RUNTIME_DIR)\n"},
      {"an address where nothing listens", "unix:path=/nonexistent/bus",
       "springboard-sim: desktop alerts unavailable: no session bus: Could not connect: No such "
       "file or directory\n"},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.runScenario("settings isPopAlert=true\n");
    const std::string recording = root.write("session.plist", kRecording);
    const auto host = runProcess(
        SPRINGBOARD_SIM, {"--source", "replay=" + recording, "--virtual-time", "--desktop-alerts"},
        {{"SIM_DEVICE_ROOT", root.path()},
         {"DBUS_SESSION_BUS_ADDRESS", c.address},
         {"XDG_RUNTIME_DIR", root.path() + "/no-such-runtime"}});
    EXPECT_EQ(host.exitCode, 0) << c.name;
    EXPECT_EQ(host.err, c.said) << c.name;
    EXPECT_NE(host.out.find("dialog \"Message\" \"Charging is complete\" \"OK\""),
              std::string::npos)
        << c.name;
  }
}

// Each countdown's Cancel is its own: one pressed on a notice since replaced (under the same
// id), or after it was taken down, cancels nothing. The desktop as a run in virtual time has it.
TEST(DesktopAlerts, ACancelBelongsToItsCountdownAlone) {
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus session;
  ASSERT_TRUE(session.startTemplate("notification_daemon", "org.freedesktop.Notifications", false));
  testing_support::ScopedEnvironment env;
  env.set("DBUS_SESSION_BUS_ADDRESS", session.address());
  std::string why;
  auto alerts = host::DesktopAlerts::connectIfAvailable(why, true, false);
  ASSERT_TRUE(alerts) << why;
  const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
  const auto countdown = [&] {  // its Cancel's action key, as the service was given it
    alerts->warn("Battery almost empty", "Suspending", host::DesktopAlerts::Urgency::critical,
                 nullptr, "Cancel");
    pause();
    const std::string calls = session.calls();
    const size_t end = calls.rfind("\", \"Cancel\"]"), start = calls.rfind("[\"", end) + 2;
    return calls.substr(start, end - start);
  };
  const auto press = [&](const std::string& key) {
    runProcess("/usr/bin/gdbus",
               {"call", "--address", session.address(), "--dest", "org.freedesktop.Notifications",
                "--object-path", "/org/freedesktop/Notifications", "--method",
                "org.freedesktop.DBus.Mock.EmitSignal", "org.freedesktop.Notifications",
                "ActionInvoked", "us", "[<uint32 1>, <'" + key + "'>]"});
    pause();
  };
  const std::string first = countdown();
  press(first);  // and the countdown is replaced before the host looks
  const std::string second = countdown();
  EXPECT_FALSE(alerts->cancelPressed()) << "pressed on the one since replaced";
  press(first);
  EXPECT_FALSE(alerts->cancelPressed()) << "the one replaced, pressed late";
  press(second);
  EXPECT_TRUE(alerts->cancelPressed());
  EXPECT_FALSE(alerts->cancelPressed()) << "said once";
  alerts->withdraw();
  press(second);
  EXPECT_FALSE(alerts->cancelPressed()) << "taken down";
  alerts.reset();
  EXPECT_NE(session.calls().find("CloseNotification 1"), std::string::npos) << session.calls();
}

// Each of the user's other batteries warns in a notification of its own, replaced in place and
// taken down when it charges, and in a line; a muted one in neither.
TEST(DesktopAlerts, EachDeviceWarnsInANotificationOfItsOwn) {
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus session;
  ASSERT_TRUE(session.startTemplate("notification_daemon", "org.freedesktop.Notifications", false));
  DeviceRoot root;
  root.writeSettings(
      "<key>devices</key><dict><key>G Pro</key><dict><key>mute</key><true/></dict>"
      "</dict>");
  testing_support::ScopedEnvironment env;
  env.set("DBUS_SESSION_BUS_ADDRESS", session.address())
      .set("SIM_DEVICE_ROOT", root.path())
      .set("SIM_LANGUAGES", "en");
  std::string why;
  auto alerts = host::DesktopAlerts::connectIfAvailable(why, true, false);
  ASSERT_TRUE(alerts) << why;
  std::string lines;
  host::DeviceAlertWatch watch(
      {[&](const std::string& line) { lines += line + "\n"; }, nullptr, alerts.get()});
  const auto device = [](const char* id, const char* name, const char* kind, int level,
                         bool charging = false) {
    host::devices::DeviceBattery d;
    d.id = id;
    d.name = name;
    d.kind = kind;
    d.level = level;
    d.state =
        charging ? host::devices::DeviceState::charging : host::devices::DeviceState::discharging;
    return d;
  };
  const auto headset = device("address:AA", "WH-1000XM4", "headset", 8);
  const auto muted = device("serial:7", "G Pro", "mouse", 3);
  watch.onDevices({device("serial:1", "MX Master 3", "mouse", 9), headset, muted}, 1000);
  watch.onDevices({device("serial:1", "MX Master 3", "mouse", 4), headset, muted}, 1060);
  watch.onDevices({device("serial:1", "MX Master 3", "mouse", 4, true), headset, muted}, 1120);
  EXPECT_EQ(lines,
            "device low: Mouse MX Master 3: 9 % left\n"
            "device low: Headset WH-1000XM4: 8 % left\n"
            "device critical: Mouse MX Master 3: 4 % left, charge it now\n"
            "device over: Mouse MX Master 3\n");
  alerts.reset();
  const std::string calls = session.calls();
  EXPECT_NE(calls.find("Notify \"Brimwell\" 0 \"battery-low\" \"Mouse MX Master 3: 9 % left\""),
            std::string::npos)
      << calls;
  EXPECT_NE(calls.find("Notify \"Brimwell\" 0 \"battery-low\" \"Headset WH-1000XM4: 8 % left\""),
            std::string::npos)
      << calls;
  EXPECT_NE(calls.find("Notify \"Brimwell\" 1 \"battery-caution\" \"Mouse MX Master 3: 4 % left, "
                       "charge it now\""),
            std::string::npos)
      << calls;
  EXPECT_NE(calls.find("CloseNotification 1"), std::string::npos) << calls;
  EXPECT_EQ(calls.find("G Pro"), std::string::npos) << calls;
}

TEST(DesktopAlerts, ABusThatNeverAnswersIsGivenUpWithOneLine) {
  DeviceRoot root;
  root.runScenario("settings isPopAlert=true\n");
  const std::string recording = root.write("session.plist", kRecording);
  const std::string busPath = root.path() + "/mute-bus";
  const int bus = muteBus(busPath);
  ASSERT_GE(bus, 0);

  // Both outputs in one pipe, read with a bound, so a host that hangs fails the case.
  BackgroundProcess host(
      "/bin/sh",
      {"-c", "exec \"$0\" \"$@\" 2>&1", SPRINGBOARD_SIM, "--source", "replay=" + recording,
       "--headless", "--virtual-time", "--desktop-alerts"},
      {{"SIM_DEVICE_ROOT", root.path()},
       {"SIM_LANGUAGES", "en"},
       {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + busPath}});
  std::vector<std::string> lines;
  while (const auto line = host.readLine(15000)) lines.push_back(*line);
  host.stop();
  close(bus);

  ASSERT_FALSE(lines.empty()) << "the host hung on the bus";
  EXPECT_EQ(lines.back().rfind("[00:00:00] delivered 2 status changes", 0), 0u) << lines.back();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "springboard-sim: desktop alerts unavailable: the session bus did not "
                       "answer within 2 s"),
            1);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "[00:00:00] dialog \"Message\" \"Charging is complete\" \"OK\""),
            lines.end());
}

// Where desktop alerts were not asked for (a terminal host tries them), no bus to talk to is a
// session without a desktop and is not said; a bus that never answers is, at once in a run that
// waits, and where the run loop finds it otherwise.
TEST(DesktopAlerts, UnaskedOnlyABusThatDoesNotAnswerIsSaid) {
  DeviceRoot root;
  const int bus = muteBus(root.path() + "/mute-bus");
  ASSERT_GE(bus, 0);
  const std::string mute = "unix:path=" + root.path() + "/mute-bus",
                    silent =
                        "desktop alerts unavailable: the session bus did not answer within 2 s";
  const struct {
    const char* name;
    std::string address;
    bool runLoop;
    std::string said;
  } cases[] = {
      {"nothing listens", "unix:path=" + root.path() + "/no-bus", false, ""},
      {"never answers, waiting", mute, false, silent},
      {"never answers, in the run loop", mute, true, silent},
  };
  for (const auto& c : cases) {
    testing_support::ScopedEnvironment env;
    env.set("DBUS_SESSION_BUS_ADDRESS", c.address);
    std::string why, said;
    auto alerts = host::DesktopAlerts::connectIfAvailable(why, false, c.runLoop);
    EXPECT_EQ(alerts != nullptr, c.runLoop) << c.name;
    if (alerts) {
      NSRunLoop& loop = NSRunLoop::mainRunLoop();
      alerts->onNotice([&](const std::string& line) {
        said = line;
        loop.stop();
      });
      auto end = NSTimer::scheduledTimerWithTimeInterval(
          5, [&] { loop.stop(); }, false);
      loop.run();
      end->invalidate();
    }
    EXPECT_EQ(why + said, c.said) << c.name;
  }
  close(bus);
}

// The sound module is loaded at the first sound: a host that plays none never finds out that it
// cannot be loaded, one that plays one says so in one line and still notifies.
TEST(DesktopAlerts, AModuleThatCannotBeLoadedIsSaidInOneLine) {
  BackgroundProcess bus("/usr/bin/dbus-daemon",
                        {"--session", "--nofork", "--nopidfile", "--print-address=1"});
  const auto address = bus.readLine(5000);
  ASSERT_TRUE(address && !address->empty()) << "no private session bus";
  BackgroundProcess server(FAKE_NOTIFICATION_SERVER, {*address});
  ASSERT_EQ(server.readLine(5000), "ready");
  const struct {
    const char* name;
    bool sound;
    const char* module;  // the file found as the module, or its contents
    const char* said;    // in the line
  } cases[] = {
      {"no sound played", false, "not a library", nullptr},
      {"no library", true, "not a library", "brimwell-desktop-alerts.so"},
      {"a library of another kind", true, nullptr, "no entry point brimwell_desktop_sound in "},
  };
  for (const auto& c : cases) {
    // The host in a prefix of its own, beside a "module" that is no library.
    DeviceRoot root;
    const fs::path prefix = fs::path(root.path()) / "prefix";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "lib/brimwell");
    fs::copy_file(SPRINGBOARD_SIM, prefix / "bin/springboard-sim");
    fs::create_symlink(fs::path(BRIMWELL_DYLIB).parent_path() / "libbrimwell_platform.so",
                       prefix / "lib/brimwell/libbrimwell_platform.so");
    if (c.module) {
      root.write("prefix/lib/brimwell/brimwell-desktop-alerts.so", c.module);
    } else {
      fs::create_symlink(fs::path(BRIMWELL_DYLIB).parent_path() / "libbrimwell_platform.so",
                         prefix / "lib/brimwell/brimwell-desktop-alerts.so");
    }
    root.write(
        "System/Library/Audio/UISounds/alert_sound.wav",
        testing_support::readFile(BRIMWELL_BUILD_DIR "/share/brimwell/sounds/alert_sound.wav"));
    // Two dialogs, two sounds: the module is tried once.
    root.runScenario(std::string("settings alertLevel=50 isPopAlert=true isSound=") +
                     (c.sound ? "true" : "false") + "\n");
    const std::string recording = root.write("session.plist", kRecording);
    const auto host =
        runProcess((prefix / "bin/springboard-sim").string(),
                   {"--source", "replay=" + recording, "--virtual-time", "--desktop-alerts"},
                   {{"SIM_DEVICE_ROOT", root.path()}, {"DBUS_SESSION_BUS_ADDRESS", *address}});
    EXPECT_EQ(host.exitCode, 0) << host.err;
    EXPECT_NE(host.out.find("dialog \"Message\" \"Charging is complete\" \"OK\""),
              std::string::npos);
    EXPECT_EQ(server.readLine(5000).value_or("").rfind("Notify ", 0), 0u) << c.name;
    EXPECT_EQ(server.readLine(5000).value_or("").rfind("Notify ", 0), 0u) << c.name;
    if (!c.said) {
      EXPECT_EQ(host.err, "") << "never loaded";
      continue;
    }
    EXPECT_EQ(std::count(host.err.begin(), host.err.end(), '\n'), 1) << host.err;
    EXPECT_EQ(host.err.rfind("springboard-sim: alert sound unavailable: ", 0), 0u) << host.err;
    EXPECT_NE(host.err.find(c.said), std::string::npos) << host.err;
  }
}

// A notification service that takes the warnings and answers late holds neither the host's
// readings nor its next warning: the reading after the next warning comes before the service's
// bound has passed.
TEST(DesktopAlerts, ANotificationServiceThatAnswersLateDoesNotHoldTheReadings) {
  BackgroundProcess bus("/usr/bin/dbus-daemon",
                        {"--session", "--nofork", "--nopidfile", "--print-address=1"});
  const auto address = bus.readLine(5000);
  ASSERT_TRUE(address && !address->empty()) << "no private session bus";
  BackgroundProcess server(FAKE_NOTIFICATION_SERVER, {*address, "--silent"});
  ASSERT_EQ(server.readLine(5000), "ready");
  DeviceRoot root;
  laptopAt(root, 20);
  auto host = laptopService(root, *address);
  std::vector<std::string> lines;
  const auto until = [&](const std::string& part) {
    while (const auto line = host->readLine(5000)) {
      lines.push_back(*line);
      if (line->find(part) != std::string::npos) return true;
    }
    return false;
  };
  ASSERT_TRUE(until("low-battery low 20%"));
  laptopAt(root, 5);
  ASSERT_TRUE(until("low-battery critical 5%"));  // its notice waits for the first one's id
  laptopAt(root, 4);
  ASSERT_TRUE(until("did not answer within 2 s"));
  host->stop();
  EXPECT_EQ(server.readLine(5000), "unanswered Notify");
  EXPECT_EQ(server.stop(), "") << "the next waited for its id, and none went after";
  const auto at = [&](const std::string& part) {
    return std::find_if(lines.begin(), lines.end(),
                        [&](const std::string& l) { return l.find(part) != l.npos; });
  };
  EXPECT_LT(at("status 4% "), at("did not answer")) << lines.size();
}

// A session bus that goes while the host runs (the session ended, say) is said once; the host's
// readings and warnings go on.
TEST(DesktopAlerts, ABusThatGoesIsSaidOnce) {
  auto bus = std::make_unique<BackgroundProcess>(
      "/usr/bin/dbus-daemon",
      std::vector<std::string>{"--session", "--nofork", "--nopidfile", "--print-address=1"});
  const auto address = bus->readLine(5000);
  ASSERT_TRUE(address && !address->empty()) << "no private session bus";
  BackgroundProcess server(FAKE_NOTIFICATION_SERVER, {*address});
  ASSERT_EQ(server.readLine(5000), "ready");
  DeviceRoot root;
  laptopAt(root, 20);
  auto host = laptopService(root, *address);
  ASSERT_EQ(server.readLine(5000).value_or("").rfind("Notify ", 0), 0u);
  bus.reset();
  std::string said;
  while (const auto line = host->readLine(8000)) said += *line + "\n";
  const std::string gone =
      "springboard-sim: desktop notifications unavailable: the session bus closed the connection";
  EXPECT_NE(said.find(gone), std::string::npos) << said;
  EXPECT_EQ(said.find(gone), said.rfind(gone)) << said;
  EXPECT_NE(said.find("delivered "), std::string::npos) << said;
}

}  // namespace
