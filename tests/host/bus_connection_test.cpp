// The host's bus connection on buses that answer, never answer, or hang up: each call is answered
// once, within its bound, and nothing waits past it.
#include "host/bus/bus_connection.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>

#include "host/app/sleep_watch.h"
#include "host/bus/logind.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/mock_bus.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/silent_bus.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace host::bus {
namespace {

TEST(BusConnection, EachCallIsAnsweredOnceWithinItsBound) {
  testing_support::TempDir sockets;
  const testing_support::SilentBus quiet(sockets.path() + "/silent"),
      closing(sockets.path() + "/hangs", true);
  const struct {
    const char* name;
    std::string address;
    const char* why;  // what the answer says
    bool closed;      // the connection was said to be gone
  } cases[] = {
      {"never answers", quiet.address(), "no answer within 1 second", false},
      {"hangs up", closing.address(), "Connection terminated", true},
  };
  for (const auto& c : cases) {
    testing_support::ScopedEnvironment env;
    env.set("DBUS_SYSTEM_BUS_ADDRESS", c.address);
    std::string why;
    const auto start = std::chrono::steady_clock::now();
    auto bus = Connection::open(Connection::Which::system, why);
    ASSERT_TRUE(bus) << c.name << ": " << why;
    bool closed = false;
    bus->onClosed([&] { closed = true; });
    int answers = 0;
    std::string answer;
    ASSERT_TRUE(bus->call(
        bus->newCall("org.example", "/", "org.example.I", "M"), 1.0,
        [&](sd_bus_message* reply, const std::string& error) {
          ++answers;
          answer = reply ? "a reply" : error;
        },
        why))
        << c.name << ": " << why;
    bus->runUntil([&] { return answers > 0; }, 5);
    bus->runUntil([] { return false; }, 0.3);  // no second answer
    EXPECT_EQ(answers, 1) << c.name;
    EXPECT_EQ(answer, c.why) << c.name;
    EXPECT_EQ(closed, c.closed) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << c.name;
  }
}

TEST(BusConnection, NoBusToReachIsSaidAtOnce) {
  testing_support::TempDir sockets;
  testing_support::ScopedEnvironment env;
  env.set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + sockets.path() + "/nothing");
  std::string why;
  EXPECT_FALSE(Connection::open(Connection::Which::system, why));
  EXPECT_EQ(why.rfind("cannot reach the system bus: ", 0), 0u) << why;

  // A program the tests start (the host) reaches the bus it is given, else none: never the
  // machine's own, with the developer's BlueZ on it.
  const std::string given = "unix:path=" + sockets.path() + "/given";
  using Overrides = std::map<std::string, std::optional<std::string>>;
  const struct {
    const char* name;
    std::optional<std::string> ours;  // in the test's own environment
    Overrides overrides;
    std::string reached;
  } starts[] = {
      {"given none", std::nullopt, {}, testing_support::kNoSystemBus},
      {"ours", given, {}, given},
      {"its own", std::nullopt, {{"DBUS_SYSTEM_BUS_ADDRESS", given}}, given},
      {"unset for it on purpose", given, {{"DBUS_SYSTEM_BUS_ADDRESS", std::nullopt}}, ""},
  };
  for (const auto& c : starts) {
    if (c.ours) {
      env.set("DBUS_SYSTEM_BUS_ADDRESS", *c.ours);
    } else {
      env.unset("DBUS_SYSTEM_BUS_ADDRESS");
    }
    const auto child = testing_support::runProcess(
        "/bin/sh", {"-c", "printf %s \"$DBUS_SYSTEM_BUS_ADDRESS\""}, c.overrides);
    EXPECT_EQ(child.out, c.reached) << c.name;
  }
  env.set("DBUS_SYSTEM_BUS_ADDRESS", testing_support::kNoSystemBus);
  EXPECT_FALSE(Connection::open(Connection::Which::system, why));
}

// logind's answers as the last action reads them; an inhibitor held until let go.
TEST(BusConnection, LogindsAnswers) {
  using testing_support::MockBus;
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus yes, no;
  ASSERT_TRUE(yes.startTemplate("logind", "org.freedesktop.login1", true));
  ASSERT_TRUE(
      no.startTemplate("logind", "org.freedesktop.login1", true, "{\"CanSuspend\": \"no\"}"));
  const struct {
    MockBus* bus;
    bool done;
    const char* why;
    const char* calls;
  } cases[] = {
      {&yes, true, "", "CanSuspend\nSuspend False\n"},
      {&no, false, "logind answers CanSuspend with \"no\"", "CanSuspend\n"},
  };
  for (const auto& c : cases) {
    testing_support::ScopedEnvironment env;
    env.set("DBUS_SYSTEM_BUS_ADDRESS", c.bus->address());
    std::string why;
    auto bus = Connection::open(Connection::Which::system, why);
    ASSERT_TRUE(bus) << why;
    Logind logind(*bus);
    std::optional<bool> done;
    ASSERT_TRUE(logind.act(
        "CanSuspend", "Suspend", 5,
        [&](bool ok, const std::string& answer) {
          done = ok;
          why = answer;
        },
        why));
    bus->runUntil([&] { return done.has_value(); }, 5);
    EXPECT_EQ(done, c.done) << c.calls;
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(c.bus->calls(), c.calls);
  }
  testing_support::ScopedEnvironment env;
  env.set("DBUS_SYSTEM_BUS_ADDRESS", yes.address());
  std::string why;
  auto bus = Connection::open(Connection::Which::system, why);
  ASSERT_TRUE(bus) << why;
  Logind logind(*bus);
  logind.inhibitSleep("a test", 5, [&](const std::string& failed) { why = failed; });
  bus->runUntil([&] { return logind.holdsInhibitor(); }, 5);
  EXPECT_TRUE(logind.holdsInhibitor()) << why;
  logind.releaseSleep();
  EXPECT_FALSE(logind.holdsInhibitor());
  logind.inhibitSleep("a test", 5, [&](const std::string& failed) { why = failed; });
  logind.releaseSleep();  // before the answer: the inhibitor it brings is let go
  bus->runUntil([] { return false; }, 0.5);
  EXPECT_FALSE(logind.holdsInhibitor());
}

// Without logind, and then without the bus, the host says once that sleeps are measured less
// precisely.
TEST(BusConnection, LessPreciseSleepsAreSaidOnce) {
  using testing_support::MockBus;
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  auto bare = std::make_unique<MockBus>();  // a system bus without logind
  testing_support::ScopedEnvironment env;
  env.set("DBUS_SYSTEM_BUS_ADDRESS", bare->address());
  std::vector<std::string> said;
  SleepWatch watch([&](const std::string& line) { said.push_back(line); });
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  const auto gone = NSTimer::scheduledTimerWithTimeInterval(
      1, [&] { bare.reset(); }, false);
  const auto end = NSTimer::scheduledTimerWithTimeInterval(
      2.5, [&] { loop.stop(); }, false);
  loop.run();
  ASSERT_EQ(said.size(), 1u) << (said.empty() ? "" : said.back());
  EXPECT_EQ(said[0].rfind("logind: Inhibit: ", 0), 0u) << said[0];
  EXPECT_NE(said[0].find("; sleeps are measured less precisely"), std::string::npos) << said[0];
}

}  // namespace
}  // namespace host::bus
