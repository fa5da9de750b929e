#include "host/low_battery/low_battery_policy.h"
#include "host/app/low_battery_watch.h"
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
Step ac(double time, double level, bool draws = false) {
  return {Step::read, time, level, true, -1, draws};
}
Step clockAt(double time) {
  return {Step::clock, time};
}
Step cancelAt(double time) {
  return {Step::cancel, time};
}
Step resumeAt(double time) {
  return {Step::resume, time};
}
// The action set to none from then on.
Step noAction(double time) {
  return {Step::settingsNone, time};
}
const Step due{Step::due};
template <class... S>
std::vector<Step> go(S... steps) {
  return {steps...};
}

std::string describe(const Event& e) {
  const char* stages[] = {"low", "critical", "action"};
  char text[64];
  switch (e.kind) {
    case Event::warn: {
      char minutes[24] = "";
      if (e.minutesToEmpty) std::snprintf(minutes, sizeof minutes, " (%g min)", *e.minutesToEmpty);
      std::snprintf(text, sizeof text, "warn %s %g%s%s", stages[static_cast<int>(e.stage)], e.level,
                    minutes, e.chargerIn ? " (charger in)" : "");
      return text;
    }
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
Step mins(double time, double level, double minutes) {
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
  repeating.repeatMinutes = 1;
  Settings repeatingWithAction = repeating;
  repeatingWithAction.actionDelay = 100;
  Settings noLow = suspending();
  noLow.lowLevel = noLow.actionLevel = 0;
  noLow.criticalLevel = 1;
  Settings byTime, byMinute;
  byTime.lowMinutes = 30;
  byMinute.lowMinutes = 1;
  Settings delay20 = suspending();
  delay20.actionDelay = 20;
  const struct {
    const char* name;
    std::vector<Step> steps;
    const char* events;  // as said, joined by ", "
    Settings settings = suspending();
  } cases[] = {
      {"a descent",
       go(at(0, 25), at(10, 20), at(20, 15), at(30, 5), at(40, 3), at(50, 2), clockAt(110)),
       "warn low 20, warn critical 5, announce at 110, act"},
      {"a level that wavers warns once",
       go(at(0, 20), at(100, 21), at(200, 20), at(300, 21), at(400, 19)), "warn low 20"},
      {"two points above re-arms, a minute after the warning before",
       go(mins(0, 20, 4), mins(10, 22, 4), mins(20, 20, 4), due),
       "warn low 20 (4 min), due 60, warn low 20 (4 min)"},
      {"a stage held back, then power held first",
       go(at(0, 20), at(10, 22), at(20, 20), ac(45, 20), due, due),
       "warn low 20, due 55, withdraw"},
      {"a stage held back, and power since",
       go(at(0, 20), at(10, 22), at(20, 20), ac(55, 20), due, due),
       "warn low 20, due 60, due 65, withdraw"},
      {"a stage held back, and a more severe one speaks",
       go(at(0, 20), at(10, 22), at(20, 20), at(30, 5), due), "warn low 20, warn critical 5"},
      {"a fall past several levels gives the most severe only", go(at(0, 30), at(10, 4), at(20, 1)),
       "warn critical 4, announce at 80"},
      {"the charger in during the delay", go(at(0, 2), charger(30), clockAt(60), at(70, 2)),
       "announce at 60, cancel, withdraw, announce at 130"},
      {"the level back above the action's at the last check", go(at(0, 2), at(30, 3), clockAt(60)),
       "announce at 60, cancel"},
      {"the user cancels: not again in this discharge",
       go(at(0, 2), cancelAt(10), clockAt(60), at(70, 1)), "announce at 60, cancel"},
      {"a resume during the delay: announced afresh on a fresh reading",
       go(at(0, 2), resumeAt(3600), clockAt(3600), at(3601, 2)),
       "announce at 60, cancel, announce at 3661"},
      {"a resume a moment after its announcement: announced afresh at once",
       go(at(0, 2), resumeAt(5), at(6, 2)), "announce at 60, cancel, announce at 66"},
      {"an action taken is not taken again after the resume",
       go(at(0, 2), clockAt(60), resumeAt(4000), at(4001, 2)), "announce at 60, act"},
      {"without an action the critical warning is the last", go(at(0, 5), at(10, 2), at(20, 1)),
       "warn critical 5", Settings()},
      {"the critical warning repeats until the level rises",
       go(at(0, 5), due, due, at(130, 6), due, due),
       "warn critical 5, due 60, warn critical 5, due 120, warn critical 5, due 180", repeating},
      {"a critical repeat counts as sent", go(at(0, 5), due, at(70, 7), at(80, 5), due),
       "warn critical 5, due 60, warn critical 5, due 120, warn critical 5", repeating},
      {"a rise ends the repeats", go(at(0, 5), at(10, 7), at(20, 2), due, due),
       "warn critical 5, announce at 80, due 80, act", repeating},
      {"no level, no repeat", go(at(0, 5), at(10, -1), due, due), "warn critical 5, due 60",
       repeating},
      {"no repeat over a countdown", go(at(0, 5), at(10, 2), due, due, due),
       "warn critical 5, announce at 110, due 60, due 110, act, due 120, warn critical 2",
       repeatingWithAction},
      {"an action taken, the level 2 points up and down again: a new countdown",
       go(at(0, 2), clockAt(60), at(100, 4), at(200, 2)), "announce at 60, act, announce at 260"},
      {"the action switched off before the last check", go(at(0, 2), noAction(30), clockAt(60)),
       "announce at 60, cancel"},
      {"a stage at 0 is off", go(at(0, 20), at(10, 1), at(20, 0)), "warn critical 1", noLow},
      {"no level, no warning", go(at(0, -1)), ""},
      {"by time: under 30 minutes to empty warns low, once, until 35",
       go(mins(0, 60, 40), mins(100, 55, 30), mins(200, 54, 29), mins(300, 53, 31),
          mins(400, 52, 28), mins(500, 60, 35), mins(600, 51, 25), at(700, 60), mins(800, 50, 20)),
       "warn low 54 (29 min), warn low 51 (25 min), warn low 50 (20 min)", byTime},
      {"by time, a minute's bound", go(mins(0, 60, 0.5), mins(100, 62, 5.5), mins(200, 61, 0.5)),
       "warn low 60 (0.5 min)", byMinute},
      {"a last check one point above arms the action again, once a minute",
       go(at(0, 6), at(10, 2), at(25, 3), clockAt(30), at(40, 2), at(50, 1), at(60, 0), due, due),
       "warn low 6, announce at 30, cancel, due 70, announce at 90, due 90, act", delay20},
      {"a charger that comes and goes within seconds: the countdown runs out all the same",
       go(at(0, 2), ac(30, 2), at(35, 2), ac(52, 2), clockAt(60), at(61, 2), due),
       "announce at 60, due 60, act"},
      {"external power read again 10 s on is back", go(at(0, 5), at(30, 2), ac(40, 2), ac(50, 2)),
       "warn critical 5, announce at 90, cancel, withdraw"},
      {"a charger that comes and goes slowly: the countdown resumes with what it had left",
       go(at(0, 2), ac(15, 2), due, at(30, 2), due, resumeAt(100), at(200, 2)),
       "announce at 20, due 25, cancel, withdraw, due 60, announce at 65, cancel, announce at 220",
       delay20},
      {"power at the last check: it waits, then resumes with nothing left",
       go(at(0, 2), ac(60, 2), due, at(100, 2)),
       "announce at 60, due 70, cancel, withdraw, announce at 100"},
      {"power back twice", go(at(0, 5), ac(30, 5), due, due, at(100, 50), ac(110, 50), due),
       "warn critical 5, due 40, withdraw, due 120", repeating},
      {"power before a sleep counts afresh after it",
       go(at(0, 20), ac(5, 20), due, resumeAt(100), ac(101, 20), due),
       "warn low 20, due 15, withdraw, due 111"},
      {"a charger that charged: the next countdown is whole",
       go(at(0, 2), ac(15, 2), due, ac(100, 3), at(200, 2)),
       "announce at 20, due 25, cancel, withdraw, announce at 220", delay20},
      {"warnings under a flapping charger, once a minute",
       go(at(0, 20), ac(1, 20), due, at(12, 20), due, ac(70, 20), due),
       "warn low 20, due 11, withdraw, due 60, warn low 20, due 80, withdraw"},
      {"an idle pack on mains: no action", go(ac(0, 1), due, ac(60, 1), ac(120, 0)), "due 10"},
      {"a real draw on mains, held over two readings, drains",
       go(ac(0, 2, true), ac(5, 2), ac(8, 2, true), ac(30, 2, true)),
       "announce at 90 (charger in)"},
      {"a level that keeps falling on mains drains",
       go(ac(0, 6), ac(10, 5), ac(20, 5), ac(30, 3), ac(40, 2)),
       "warn critical 3 (charger in), announce at 100 (charger in)"},
      {"one jump, or a fall that rose between, is no drain",
       go(ac(0, 6), ac(5, 3), ac(6, 7), ac(20, 4)), ""},
      {"a fall on mains broken by a reading on battery",
       go(ac(0, 23), ac(10, 22), at(20, 22), ac(30, 20)), ""},
      {"a fall before a sleep is forgotten", go(ac(0, 6), ac(10, 5), resumeAt(20), ac(30, 3)), ""},
  };
  for (const auto& c : cases) {
    State state;
    Settings settings = c.settings;
    Reading last;
    std::string got;
    const auto put = [&got](const std::string& event) { got += (got.empty() ? "" : ", ") + event; };
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
            put("due " + std::to_string(static_cast<int>(*time)));
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
      for (const Event& e : events) put(describe(e));
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
      {0, 20, 30, 0, 30, 20, true}, {20, 20, 2, 20, 20, 2, false}, {150, 5, 2, 100, 5, 2, false},
      {20, 0, 5, 20, 0, 5, false},  {1, 5, 0, 5, 1, 0, true},
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
    double delay, repeat;
    Action act;
    const char* said;  // a part of the complaint; "" for none
    double minutes = 0;
    double sleep = 1.5;  // the sleep drain alert, percent an hour
    bool lowKey = true;  // the body holds a low-battery key
  } cases[] = {
      {"none given", "", 20, 5, 2, 60, 0, Action::none, ""},
      {"a string of digits is a number", "<key>lowLevel</key><string>25</string>", 25, 5, 2, 60, 0,
       Action::none, ""},
      {"a word is no number: the default", "<key>lowLevel</key><string>abc</string>", 20, 5, 2, 60,
       0, Action::none, "lowLevel \"abc\" is not a number; using 20"},
      {"a delay that is no number", "<key>lowActionDelay</key><string>soon</string>", 20, 5, 2, 60,
       0, Action::none, "lowActionDelay \"soon\" is not a number; using 60"},
      {"out of range: brought within", "<key>lowLevel</key><integer>150</integer>", 100, 5, 2, 60,
       0, Action::none, "lowLevel 150 is outside 0 to 100; using 100"},
      {"out of order: sorted",
       "<key>lowLevel</key><integer>5</integer><key>criticalLevel</key><integer>20</integer>", 20,
       5, 2, 60, 0, Action::none, "are out of order"},
      {"an unknown action: none", "<key>lowAction</key><string>reboot</string>", 20, 5, 2, 60, 0,
       Action::none, "lowAction \"reboot\" is none of"},
      {"a command without its line: none", "<key>lowAction</key><string>command</string>", 20, 5, 2,
       60, 0, Action::none, "lowAction command without a lowActionCommand"},
      {"hibernate", "<key>lowAction</key><string>hibernate</string>", 20, 5, 2, 60, 0,
       Action::hibernate, ""},
      {"only a command line", "<key>lowActionCommand</key><string>x</string>", 20, 5, 2, 60, 0,
       Action::none, ""},
      {"the largest whole number", "<key>lowLevel</key><string>2147483647</string>", 100, 5, 2, 60,
       0, Action::none, "lowLevel 2147483647 is outside 0 to 100; using 100"},
      {"a critical level of 0 is off", "<key>criticalLevel</key><integer>0</integer>", 20, 0, 2, 60,
       0, Action::none, ""},
      {"a delay over an hour", "<key>lowActionDelay</key><integer>5000</integer>", 20, 5, 2, 3600,
       0, Action::none, "lowActionDelay 5000 is outside 0 to 3600; using 3600"},
      {"a repeat", "<key>lowRepeatMinutes</key><integer>7</integer>", 20, 5, 2, 60, 7, Action::none,
       ""},
      {"minutes over a day", "<key>lowMinutes</key><integer>2000</integer>", 20, 5, 2, 60, 0,
       Action::none, "lowMinutes 2000 is outside 0 to 1440; using 1440", 1440},
      {"a repeat over a day", "<key>lowRepeatMinutes</key><integer>1441</integer>", 20, 5, 2, 60,
       1440, Action::none, "lowRepeatMinutes 1441 is outside 0 to 1440; using 1440"},
      {"a sleep drain alert is no low-battery key", "<key>sleepDrainAlert</key><real>2.5</real>",
       20, 5, 2, 60, 0, Action::none, "", 0, 2.5, false},
      {"a sleep drain alert as a string", "<key>sleepDrainAlert</key><string>0.8</string>", 20, 5,
       2, 60, 0, Action::none, "", 0, 0.8, false},
      {"a sleep drain alert of 0 is off", "<key>sleepDrainAlert</key><integer>0</integer>", 20, 5,
       2, 60, 0, Action::none, "", 0, 0, false},
      {"a sleep drain alert that is no number", "<key>sleepDrainAlert</key><string>high</string>",
       20, 5, 2, 60, 0, Action::none, "sleepDrainAlert \"high\" is not a number; using 1.5", 0, 1.5,
       false},
      {"a sleep drain alert that is a flag", "<key>sleepDrainAlert</key><true/>", 20, 5, 2, 60, 0,
       Action::none, "sleepDrainAlert \"1\" is not a number; using 1.5", 0, 1.5, false},
      {"a string of a number and more", "<key>sleepDrainAlert</key><string>2%</string>", 20, 5, 2,
       60, 0, Action::none, "is not a number; using 1.5", 0, 1.5, false},
      {"an empty string", "<key>sleepDrainAlert</key><string></string>", 20, 5, 2, 60, 0,
       Action::none, "sleepDrainAlert \"\" is not a number; using 1.5", 0, 1.5, false},
      {"a sleep drain alert over 100", "<key>sleepDrainAlert</key><real>150.5</real>", 20, 5, 2, 60,
       0, Action::none, "sleepDrainAlert 150.5 is outside 0 to 100; using 100", 0, 100, false},
      {"a negative sleep drain alert", "<key>sleepDrainAlert</key><integer>-2</integer>", 20, 5, 2,
       60, 0, Action::none, "sleepDrainAlert -2 is outside 0 to 100; using 0", 0, 0, false},
  };
  for (const auto& c : cases) {
    const brimwell::Plist file =
        brimwell::Plist::fromMemory(std::string("<plist><dict>") + c.body + "</dict></plist>");
    const SettingsReading r = readSettings(file);
    const SleepDrainAlert sleep = readSleepDrainAlert(file);
    EXPECT_EQ(sleep.percentPerHour, c.sleep) << c.name;
    EXPECT_EQ(r.settings.lowLevel, c.low) << c.name;
    EXPECT_EQ(r.settings.criticalLevel, c.critical) << c.name;
    EXPECT_EQ(r.settings.actionLevel, c.action) << c.name;
    EXPECT_EQ(r.settings.actionDelay, c.delay) << c.name;
    EXPECT_EQ(r.settings.repeatMinutes, c.repeat) << c.name;
    EXPECT_EQ(r.settings.lowMinutes, c.minutes) << c.name;
    EXPECT_EQ(r.anyGiven, c.body[0] != '\0' && c.lowKey) << c.name;
    EXPECT_EQ(r.settings.action, c.act) << c.name;
    std::vector<std::string> complaints = r.complaints;
    if (sleep.complaint) complaints.push_back(*sleep.complaint);
    EXPECT_LE(complaints.size(), 1u) << c.name;
    const std::string said = complaints.empty() ? "" : complaints.front();
    EXPECT_EQ(said.empty(), std::string(c.said).empty()) << c.name << ": " << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << said;
  }
}

}  // namespace
}  // namespace host::low_battery

namespace host::low_battery {
namespace {

// A real draw is the estimator's lowest rate or more, from the host's power figure where the
// status has one, else from the current and the voltage; an idle pack's few mA are none.
TEST(LowBatteryReading, OnlyARealDrawCounts) {
  const struct {
    const char* status;
    bool draws;
  } cases[] = {
      {"<key>BatteryPower</key><integer>-100</integer>", true},
      {"<key>BatteryPower</key><integer>-99</integer><key>InstantAmperage</key><integer>-900</"
       "integer>"
       "<key>Voltage</key><integer>12000</integer>",
       false},
      {"<key>InstantAmperage</key><integer>-25</integer><key>Voltage</key><integer>4000</integer>",
       true},
      {"<key>InstantAmperage</key><integer>-3</integer><key>Voltage</key><integer>12000</integer>",
       false},
      {"<key>InstantAmperage</key><integer>-3000</integer>", false},
  };
  for (const auto& c : cases) {
    const auto status =
        brimwell::Plist::fromMemory(std::string("<plist><dict>") + c.status + "</dict></plist>");
    EXPECT_EQ(host::lowBatteryReading(status, 0).draws, c.draws) << c.status;
  }
}

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
      {"zh-Hant", Event::warn, 7, 0.2, false, "剩餘 7%，約 0 分鐘。請接上充電器。"},
      {"en", Event::warn, 3, -1, true, "3% left. The charger does not keep up."},
      {"zh-Hans", Event::announce, 2, -1, true, "剩余 2%。睡眠将在 30 秒后开始：充电器供电不足。"},
      {"en", Event::act, 0.4, -1, false, "Suspended at 0%."},
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
