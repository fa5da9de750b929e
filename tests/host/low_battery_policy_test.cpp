#include "host/low_battery/low_battery_policy.h"
#include "host/low_battery/low_battery_settings.h"
#include "host/low_battery/low_battery_texts.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace host::low_battery {
namespace {

// One step of a scenario: a reading (level, or "ac" for the charger in), the clock reaching a
// time (given, or the policy's own next deadline), the user's cancel, or a resume.
struct Step {
  enum { read, clock, due, cancel, resume, settingsNone } kind;
  double time = 0;
  double level = 0;
  bool power = false;
  double minutes = -1;  // the time to empty; below 0: not known
  bool draws = false;
};
Step at(double time, double level) {
  return {Step::read, time, level};
}
Step charger(double time) {
  return {Step::read, time, 50, true};
}
// The status says external power, at a level; draws: the battery gives a real draw all the same.
Step onMains(double time, double level, bool draws = false) {
  return {Step::read, time, level, true, -1, draws};
}
Step clockAt(double time) {
  return {Step::clock, time};
}
const Step due{Step::due};

std::string describe(const Event& e) {
  const char* stages[] = {"low", "critical", "action"};
  char text[64];
  switch (e.kind) {
    case Event::warn:
      std::snprintf(text, sizeof text, "warn %s %g%s", stages[static_cast<int>(e.stage)], e.level,
                    e.chargerIn ? " (charger in)" : "");
      return text;
    case Event::announce:
      std::snprintf(text, sizeof text, "announce at %g%s", e.at,
                    e.chargerIn ? " (charger in)" : "");
      return text;
    case Event::act:
      return "act";
    case Event::cancel:
      return "cancel";
    case Event::withdraw:
      return "withdraw";
  }
  return "?";
}

// A reading with a time to empty.
Step withMinutes(double time, double level, double minutes) {
  Step s = at(time, level);
  s.minutes = minutes;
  return s;
}

Settings suspending() {
  Settings s;
  s.action = Action::suspend;
  return s;
}

TEST(LowBatteryPolicy, LevelSequences) {
  Settings repeating = suspending();
  repeating.repeatMinutes = 10;
  Settings repeatingWithAction = repeating;
  repeatingWithAction.actionDelay = 1200;
  Settings noLow = suspending();
  noLow.lowLevel = 0;
  Settings byTime;
  byTime.lowMinutes = 30;
  Settings delay20 = suspending();
  delay20.actionDelay = 20;
  const struct {
    const char* name;
    Settings settings;
    std::vector<Step> steps;
    std::vector<std::string> events;
  } cases[] = {
      {"a descent",
       suspending(),
       {at(0, 25), at(10, 20), at(20, 15), at(30, 5), at(40, 3), at(50, 2), clockAt(110)},
       {"warn low 20", "warn critical 5", "announce at 110", "act"}},
      {"a level that wavers warns once",
       suspending(),
       {at(0, 20), at(10, 21), at(20, 20), at(30, 21), at(40, 19)},
       {"warn low 20"}},
      {"two points above re-arms, a minute after the warning before",
       suspending(),
       {at(0, 20), at(10, 22), at(20, 20), due},
       {"warn low 20", "due 60", "warn low 20"}},
      {"a fall past several levels gives the most severe only",
       suspending(),
       {at(0, 30), at(10, 4), at(20, 1)},
       {"warn critical 4", "announce at 80"}},
      {"the charger in during the delay",
       suspending(),
       {at(0, 2), charger(30), clockAt(60), at(70, 2)},
       {"announce at 60", "cancel", "withdraw", "announce at 130"}},
      {"the level back above the action's at the last check",
       suspending(),
       {at(0, 2), at(30, 3), clockAt(60)},
       {"announce at 60", "cancel"}},
      {"the user cancels: not again in this discharge",
       suspending(),
       {at(0, 2), {Step::cancel, 10}, clockAt(60), at(70, 1)},
       {"announce at 60", "cancel"}},
      {"a resume during the delay: announced afresh on a fresh reading",
       suspending(),
       {at(0, 2), {Step::resume, 3600}, clockAt(3600), at(3601, 2)},
       {"announce at 60", "cancel", "announce at 3661"}},
      {"an action taken is not taken again after the resume",
       suspending(),
       {at(0, 2), clockAt(60), {Step::resume, 4000}, at(4001, 2)},
       {"announce at 60", "act"}},
      {"without an action the critical warning is the last",
       Settings(),
       {at(0, 5), at(10, 2), at(20, 1)},
       {"warn critical 5"}},
      {"the critical warning repeats until the level rises",
       repeating,
       {at(0, 5), clockAt(600), clockAt(1200), at(1300, 7), clockAt(1800)},
       {"warn critical 5", "warn critical 5", "warn critical 5"}},
      {"no repeat over a countdown",
       repeatingWithAction,
       {at(0, 5), at(10, 2), clockAt(610), clockAt(1200)},
       {"warn critical 5", "announce at 1210"}},
      {"the action switched off before the last check",
       suspending(),
       {at(0, 2), {Step::settingsNone, 30}, clockAt(60)},
       {"announce at 60", "cancel"}},
      {"a stage at 0 is off", noLow, {at(0, 20), at(10, 5)}, {"warn critical 5"}},
      {"no level, no warning", suspending(), {{Step::read, 0, -1}}, {}},
      {"by time: under 30 minutes to empty warns low, once, until 35",
       byTime,
       {withMinutes(0, 60, 40), withMinutes(10, 55, 29), withMinutes(20, 54, 31),
        withMinutes(30, 53, 28), withMinutes(40, 60, 36), withMinutes(70, 52, 25)},
       {"warn low 55", "warn low 52"}},
      {"a last check one point above arms the action again, once a minute",
       delay20,
       {at(0, 6), at(10, 2), at(25, 3), clockAt(30), at(40, 2), at(50, 1), at(60, 0), due, due},
       {"warn low 6", "announce at 30", "cancel", "due 70", "announce at 90", "due 90", "act"}},
      {"a charger that comes and goes within seconds: the countdown runs out all the same",
       suspending(),
       {at(0, 2), onMains(30, 2), at(35, 2), onMains(52, 2), clockAt(60), at(61, 2), due},
       {"announce at 60", "due 60", "act"}},
      {"external power that holds is back, with no new reading",
       suspending(),
       {at(0, 5), at(30, 2), onMains(40, 2), due},
       {"warn critical 5", "announce at 90", "due 50", "cancel", "withdraw"}},
      {"a charger that comes and goes slowly: the countdown resumes with what it had left",
       delay20,
       {at(0, 2), onMains(15, 2), due, at(30, 2), due, due},
       {"announce at 20", "due 25", "cancel", "withdraw", "due 60", "announce at 65", "due 65",
        "act"}},
      {"a charger that charged: the next countdown is whole",
       delay20,
       {at(0, 2), onMains(15, 2), due, onMains(100, 3), at(200, 2)},
       {"announce at 20", "due 25", "cancel", "withdraw", "announce at 220"}},
      {"warnings under a flapping charger, once a minute",
       suspending(),
       {at(0, 20), onMains(1, 20), due, at(12, 20), due},
       {"warn low 20", "due 11", "withdraw", "due 60", "warn low 20"}},
      {"an idle pack on mains: no action",
       suspending(),
       {onMains(0, 1), due, onMains(60, 1), onMains(120, 0)},
       {"due 10"}},
      {"a real draw on mains, held over two readings, drains",
       suspending(),
       {onMains(0, 2, true), onMains(5, 2), onMains(8, 2, true), onMains(30, 2, true)},
       {"announce at 90 (charger in)"}},
      {"a level that keeps falling on mains drains",
       suspending(),
       {onMains(0, 6), onMains(10, 5), onMains(20, 4), onMains(30, 3), onMains(40, 2)},
       {"warn critical 3 (charger in)", "announce at 100 (charger in)"}},
      {"one jump, or a fall that rose between, is no drain",
       suspending(),
       {onMains(0, 6), onMains(5, 3), onMains(6, 3), onMains(20, 4), onMains(30, 3),
        onMains(40, 2.5)},
       {}},
  };
  for (const auto& c : cases) {
    State state;
    Settings settings = c.settings;
    Reading last;
    std::vector<std::string> got;
    for (const Step& step : c.steps) {
      std::vector<Event> events;
      switch (step.kind) {
        case Step::read:
          last.time = step.time;
          last.level = step.level < 0 ? std::nullopt : std::optional(step.level);
          last.externalPower = step.power;
          last.draws = step.draws;
          last.minutesToEmpty =
              step.minutes < 0 ? std::nullopt : std::optional<double>(step.minutes);
          events = onReading(settings, state, last);
          break;
        case Step::clock:
          events = onTime(settings, state, last, step.time);
          break;
        case Step::due:
          if (const auto time = nextDeadline(state)) {
            got.push_back("due " + std::to_string(static_cast<int>(*time)));
            events = onTime(settings, state, last, *time);
          }
          break;
        case Step::cancel:
          events = onCancel(state);
          break;
        case Step::resume:
          events = onResume(state);
          break;
        case Step::settingsNone:
          settings.action = Action::none;
          break;
      }
      for (const Event& e : events) got.push_back(describe(e));
    }
    EXPECT_EQ(got, c.events) << c.name;
  }
}

TEST(LowBatteryPolicy, LevelsOutOfOrderAreUsedSorted) {
  const struct {
    int low, critical, action;
    int usedLow, usedCritical, usedAction;
    bool said;
  } cases[] = {
      {20, 5, 2, 20, 5, 2, false},  {5, 20, 2, 20, 5, 2, true},    {2, 5, 20, 20, 5, 2, true},
      {0, 20, 30, 0, 30, 20, true}, {20, 20, 2, 20, 20, 2, false},
  };
  for (const auto& c : cases) {
    Settings s;
    s.lowLevel = c.low;
    s.criticalLevel = c.critical;
    s.actionLevel = c.action;
    const auto said = putInOrder(s);
    EXPECT_EQ(said.has_value(), c.said) << c.low << "/" << c.critical << "/" << c.action;
    EXPECT_EQ(s.lowLevel, c.usedLow);
    EXPECT_EQ(s.criticalLevel, c.usedCritical);
    EXPECT_EQ(s.actionLevel, c.usedAction);
  }
}

}  // namespace
}  // namespace host::low_battery

namespace host::low_battery {
namespace {

// A hand-edited settings file: what the host uses, and what it says about it.
TEST(LowBatterySettings, AHandEditedFileIsUsedSensiblyAndSaid) {
  const struct {
    const char* name;
    const char* body;
    int low, critical, action;
    double delay;
    Action act;
    const char* said;  // a part of the complaint; "" for none
  } cases[] = {
      {"none given", "", 20, 5, 2, 60, Action::none, ""},
      {"a string of digits is a number", "<key>lowLevel</key><string>25</string>", 25, 5, 2, 60,
       Action::none, ""},
      {"a word is no number: the default", "<key>lowLevel</key><string>abc</string>", 20, 5, 2, 60,
       Action::none, "lowLevel \"abc\" is not a number; using 20"},
      {"a delay that is no number", "<key>lowActionDelay</key><string>soon</string>", 20, 5, 2, 60,
       Action::none, "lowActionDelay \"soon\" is not a number; using 60"},
      {"out of range: brought within", "<key>lowLevel</key><integer>150</integer>", 100, 5, 2, 60,
       Action::none, "lowLevel 150 is outside 0 to 100; using 100"},
      {"out of order: sorted",
       "<key>lowLevel</key><integer>5</integer><key>criticalLevel</key><integer>20</integer>", 20,
       5, 2, 60, Action::none, "are out of order"},
      {"an unknown action: none", "<key>lowAction</key><string>reboot</string>", 20, 5, 2, 60,
       Action::none, "lowAction \"reboot\" is none of"},
      {"a command without its line: none", "<key>lowAction</key><string>command</string>", 20, 5, 2,
       60, Action::none, "lowAction command without a lowActionCommand"},
      {"hibernate", "<key>lowAction</key><string>hibernate</string>", 20, 5, 2, 60,
       Action::hibernate, ""},
  };
  for (const auto& c : cases) {
    const SettingsReading r = readSettings(
        brimwell::Plist::fromMemory(std::string("<plist><dict>") + c.body + "</dict></plist>"));
    EXPECT_EQ(r.settings.lowLevel, c.low) << c.name;
    EXPECT_EQ(r.settings.criticalLevel, c.critical) << c.name;
    EXPECT_EQ(r.settings.actionLevel, c.action) << c.name;
    EXPECT_EQ(r.settings.actionDelay, c.delay) << c.name;
    EXPECT_EQ(r.settings.action, c.act) << c.name;
    const std::string said = r.complaints.empty() ? "" : r.complaints.front();
    EXPECT_EQ(said.empty(), std::string(c.said).empty()) << c.name << ": " << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << said;
  }
}

}  // namespace
}  // namespace host::low_battery

namespace host::low_battery {
namespace {

// What a notice and a line say, in each language.
TEST(LowBatteryTexts, WhatTheUserReads) {
  const struct {
    const char* language;
    Event::Kind kind;
    double level, minutes;  // minutes below 0: not known
    bool chargerIn;
    const char* body;
  } cases[] = {
      {"en", Event::warn, 20, 65, false, "20% left, about 1 h 5 m. Plug in the charger."},
      {"en", Event::warn, 19.6, 59.6, false, "19% left, about 1 h 0 m. Plug in the charger."},
      {"en", Event::warn, 7, 7, false, "7% left, about 7 min. Plug in the charger."},
      {"zh-Hans", Event::warn, 7, 7, false, "剩余 7%，约 7 分钟。请接上充电器。"},
      {"zh-Hant", Event::warn, 7, 7, false, "剩餘 7%，約 7 分鐘。請接上充電器。"},
      {"en", Event::warn, 3, -1, true, "3% left. The charger does not keep up."},
      {"zh-Hans", Event::announce, 2, -1, true, "剩余 2%。睡眠将在 30 秒后开始：充电器供电不足。"},
      {"en", Event::act, 2, -1, false, "Suspended at 2%."},
  };
  Settings s;
  s.action = Action::suspend;
  for (const auto& c : cases) {
    Event e{c.kind};
    e.level = c.level;
    if (c.minutes >= 0) e.minutesToEmpty = c.minutes;
    e.delay = 30;
    e.chargerIn = c.chargerIn;
    EXPECT_EQ(messageFor(e, s, c.language).body, c.body) << c.language;
    if (c.minutes == 7) {
      EXPECT_EQ(lineFor(e, s, 0), "low-battery low 7%, about 7 min left");
    }
  }
}

}  // namespace
}  // namespace host::low_battery
