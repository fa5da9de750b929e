#include "host/low_battery/low_battery_policy.h"
#include "common/text_format.h"
#include "host/app/low_battery_watch.h"
#include "host/devices/device_alert_record.h"
#include "host/devices/device_alert_settings.h"
#include "host/devices/device_alert_texts.h"
#include "host/devices/device_alerts.h"
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
  std::optional<WordLevel> word = std::nullopt;
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
// No level, only the driver's word.
Step said(double time, WordLevel word) {
  Step s{Step::read, time, -1};
  s.word = word;
  return s;
}
// The same on external power, the battery drawing all the same.
Step acSaid(double time, WordLevel word) {
  Step s = said(time, word);
  s.power = s.draws = true;
  return s;
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
      char level[24] = "by word";
      if (!e.byWord) std::snprintf(level, sizeof level, "%g", e.level);
      std::snprintf(text, sizeof text, "warn %s %s%s%s", stages[static_cast<int>(e.stage)], level,
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
  Settings lowOnly = suspending(), allOff, ones;
  ones.lowLevel = ones.criticalLevel = 1;
  ones.actionLevel = 0;
  lowOnly.criticalLevel = lowOnly.actionLevel = 0;
  allOff.lowLevel = allOff.criticalLevel = allOff.actionLevel = 0;
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
      {"a word warns at Low, then Critical, and never acts",
       go(said(0, WordLevel::fine), said(10, WordLevel::low), said(20, WordLevel::low),
          said(30, WordLevel::critical), said(40, WordLevel::critical), clockAt(1000)),
       "warn low by word, warn critical by word"},
      {"a word above them re-arms both; one held back speaks when due",
       go(said(0, WordLevel::critical), said(10, WordLevel::fine), said(20, WordLevel::critical),
          due, said(70, WordLevel::low)),
       "warn critical by word, due 60, warn critical by word"},
      {"a Critical word warns as low where critical is off; none where both are",
       go(said(0, WordLevel::critical)), "warn low by word", lowOnly},
      {"no stage on: no word warns", go(said(0, WordLevel::critical)), "", allOff},
      {"no word: nothing", go(at(0, -1), clockAt(100)), ""},
      {"the charger takes a word's warning down",
       go(said(0, WordLevel::low), acSaid(1, WordLevel::low), due),
       "warn low by word, due 11, withdraw"},
      {"a word while the charger does not keep up says so",
       go(acSaid(0, WordLevel::critical), acSaid(10, WordLevel::critical)),
       "warn critical by word (charger in)"},
      {"levels of 1 are on for words", go(said(0, WordLevel::low), said(10, WordLevel::critical)),
       "warn low by word, warn critical by word", ones},
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
          last.word = step.word;
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
// status has one, else from the current and the voltage; an idle pack's few mA are none. The
// time a warning states is the steady one, or what the present draw leaves where that is less.
TEST(LowBatteryReading, OnlyARealDrawCounts) {
  const char* steady6 = "<key>AvgTimeToEmpty</key><integer>6</integer>";
  const std::string at60W = std::string(steady6) +
                            "<key>BatteryEnergy</key><integer>2800</integer>"
                            "<key>BatteryPower</key><integer>-60000</integer>";
  const std::string at10W = std::string(steady6) +
                            "<key>BatteryEnergy</key><integer>2800</integer>"
                            "<key>BatteryPower</key><integer>-10000</integer>";
  const std::string inCharges = std::string(steady6) +
                                "<key>AppleRawCurrentCapacity</key><integer>500</integer>"
                                "<key>InstantAmperage</key><integer>-6000</integer>";
  const std::string withVoltage = inCharges + "<key>Voltage</key><integer>12000</integer>";
  const std::string charging = std::string(steady6) +
                               "<key>BatteryEnergy</key><integer>2800</integer>"
                               "<key>BatteryPower</key><integer>500</integer>";
  const std::string unknownSteady =
      "<key>AvgTimeToEmpty</key><integer>65535</integer>"
      "<key>BatteryEnergy</key><integer>2800</integer>"
      "<key>BatteryPower</key><integer>-60000</integer>";
  const struct {
    std::string status;
    bool draws;
    std::optional<WordLevel> word = std::nullopt;  // where no level is read
    std::optional<double> minutes = std::nullopt;
  } cases[] = {
      {at60W, true, std::nullopt, 2.8},
      {at10W, true, std::nullopt, 6},
      {inCharges, false, std::nullopt, 5},
      {withVoltage, true, std::nullopt, 5},
      {charging, false, std::nullopt, 6},
      {unknownSteady, true},
      {std::string(steady6) + "<key>BatteryEnergy</key><integer>2800</integer>"
                              "<key>BatteryPower</key><integer>20000</integer>",
       false, std::nullopt, 6},
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
      {"<key>BatteryLevelWord</key><string>Critical</string>", false, WordLevel::critical},
      {"<key>BatteryLevelWord</key><string>Low</string>", false, WordLevel::low},
      {"<key>BatteryLevelWord</key><string>High</string>", false, WordLevel::fine},
      {"<key>BatteryLevelWord</key><string>Unknown</string>", false},
      {"<key>BatteryLevelWord</key><string>Low</string><key>CurrentCapacity</key><integer>50"
       "</integer>",
       false},
  };
  for (const auto& c : cases) {
    const auto status = brimwell::Plist::fromMemory("<plist><dict>" + c.status + "</dict></plist>");
    EXPECT_EQ(host::lowBatteryReading(status, 0).draws, c.draws) << c.status;
    EXPECT_EQ(host::lowBatteryReading(status, 0).word, c.word) << c.status;
    EXPECT_EQ(host::lowBatteryReading(status, 0).minutesToEmpty, c.minutes) << c.status;
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
    bool byWord = false;
  } cases[] = {
      {"en", Event::warn, 20, 65, false, "20% left, about 1 h 5 m. Plug in the charger."},
      {"en", Event::warn, 19.6, 59.6, false, "19% left, about 59 min. Plug in the charger."},
      {"en", Event::warn, 2, 0.9, false, "2% left, under a minute. Plug in the charger."},
      {"en", Event::warn, 2, 1.9, false, "2% left, about 1 min. Plug in the charger."},
      {"en", Event::warn, 30, 60, false, "30% left, about 1 h 0 m. Plug in the charger."},
      {"en", Event::warn, 7, 7, false, "7% left, about 7 min. Plug in the charger."},
      {"zh-Hans", Event::warn, 7, 7, false, "剩余 7%，约 7 分钟。请接上充电器。"},
      {"zh-Hant", Event::warn, 7, 0.2, false, "剩餘 7%，不到 1 分鐘。請接上充電器。"},
      {"zh-Hans", Event::warn, 7, 0.2, false, "剩余 7%，不到 1 分钟。请接上充电器。"},
      {"en", Event::warn, 3, -1, true, "3% left. The charger does not keep up."},
      {"zh-Hans", Event::announce, 2, -1, true, "剩余 2%。睡眠将在 30 秒后开始：充电器供电不足。"},
      {"en", Event::act, 0.4, -1, false, "Suspended at 0%."},
      {"en", Event::warn, 0, -1, false, "The battery gives no percent. Plug in the charger.", true},
      {"zh-Hant", Event::warn, 0, -1, true, "電池未提供電量百分比。充電器供電不足。", true},
  };
  Settings s;
  s.action = Action::suspend;
  for (const auto& c : cases) {
    Event e{c.kind};
    e.level = c.level;
    if (c.minutes >= 0) e.minutesToEmpty = c.minutes;
    e.delay = 30;
    e.chargerIn = c.chargerIn;
    e.byWord = c.byWord;
    EXPECT_EQ(messageFor(e, s, c.language).body, c.body) << c.language;
    if (c.byWord) {
      EXPECT_EQ(lineFor(e, s, 0), "low-battery low level Low");
    }
    if (c.minutes == 7) {
      EXPECT_EQ(lineFor(e, s, 0), "low-battery low 7%, about 7 min left");
    }
    if (c.minutes == 0.9) {
      EXPECT_EQ(lineFor(e, s, 0), "low-battery low 2%, under a minute left");
    }
  }
}

}  // namespace
}  // namespace host::low_battery

namespace host::devices {
namespace {

// One list of one device, the mouse "MX Master 3" (serial 4711, address aa:bb:cc:dd:ee:ff), at
// an hour of the wall clock; what the host says then, and when a reminder falls due (hours).
struct MouseStep {
  double hour;
  std::optional<int> level;
  std::optional<LevelWord> word = std::nullopt;
  DeviceState state = DeviceState::discharging;
  bool connected = true;
  const char* said = "";  // the lines, "; " between them
  double due = -2;        // the next reminder's hour; -1 none; -2 not looked at
  bool restart = false;   // the host restarts first, from the record of the warnings given
};
constexpr auto kWord = std::nullopt;

DeviceBattery device(const char* id, const char* name, const char* kind, std::optional<int> level) {
  DeviceBattery d;
  d.id = id;
  d.name = name;
  d.kind = kind;
  d.level = level;
  d.state = DeviceState::discharging;
  return d;
}
constexpr auto kCharging = DeviceState::charging;
constexpr auto kDrains = DeviceState::discharging;

TEST(DeviceAlertPolicy, MouseSequences) {
  const char* low9 = "device low: Mouse MX Master 3: 9 % left";
  const char* crit4 = "device critical: Mouse MX Master 3: 4 % left, charge it now";
  const struct {
    const char* name;
    std::vector<MouseStep> steps;
    const char* entry = "";  // the devices dictionary's entry: key, then its body
    const char* body = "";
    int remindHours = 24;
  } cases[] = {
      {"once per crossing, the level itself counts",
       {{0, 50},
        {1, 11},
        {2, 10, kWord, kDrains, true, "device low: Mouse MX Master 3: 10 % left"},
        {3, 9},
        {4, 6},
        {5, 5, kWord, kDrains, true, "device critical: Mouse MX Master 3: 5 % left, charge it now"},
        {6, 4}}},
      {"straight to critical says critical only",
       {{0, 3, kWord, kDrains, true, "device critical: Mouse MX Master 3: 3 % left, charge it now"},
        {1, 9}}},
      {"never while it charges, nor full; warned once it drains",
       {{0, 8, kWord, kCharging},
        {1, 8, kWord, DeviceState::full},
        {2, 8, kWord, kDrains, true, "device low: Mouse MX Master 3: 8 % left"}}},
      {"charging takes the warning down; unplugged still low it waits for the reminder",
       {{0, 9, kWord, kDrains, true, low9, 24},
        {1, 9, kWord, kCharging, true, "device over: Mouse MX Master 3", -1},
        {2, 9, kWord, kDrains, true, "", 24},
        {24, 9, kWord, kDrains, true, low9, 48}}},
      {"charged above the level re-arms it",
       {{0, 9, kWord, kDrains, true, low9},
        {1, 11, kWord, kDrains, true, "device over: Mouse MX Master 3"},
        {2, 9, kWord, kDrains, true, low9}}},
      {"above critical re-arms critical only",
       {{0, 4, kWord, kDrains, true, "device critical: Mouse MX Master 3: 4 % left, charge it now"},
        {1, 7},
        {2, 4, kWord, kDrains, true,
         "device critical: Mouse MX Master 3: 4 % left, charge it now"}}},
      {"reminded after the hours, not before, then again",
       {{0, 9, kWord, kDrains, true, low9, 24},
        {23.99, 9, kWord, kDrains, true, "", 24},
        {24, 9, kWord, kDrains, true, low9, 48},
        {47, 9},
        {48, 9, kWord, kDrains, true, low9}}},
      {"a reminder says the stage it stands at",
       {{0, 9, kWord, kDrains, true, low9},
        {1, 4, kWord, kDrains, true, crit4},
        {24.5, 4},
        {25, 4, kWord, kDrains, true, crit4, 49}}},
      {"no reminders at 0 hours", {{0, 9, kWord, kDrains, true, low9, -1}, {1000, 9}}, "", "", 0},
      {"other hours",
       {{0, 9, kWord, kDrains, true, low9, 2}, {2, 9, kWord, kDrains, true, low9, 4}},
       "",
       "",
       2},
      {"a clock set back starts the wait anew",
       {{100, 9, kWord, kDrains, true, low9},
        {50, 9, kWord, kDrains, true, "", 74},
        {73, 9},
        {74, 9, kWord, kDrains, true, low9}}},
      {"a word warns at Low and Critical only",
       {{0, std::nullopt, LevelWord::normal},
        {1, std::nullopt, LevelWord::high},
        {2, std::nullopt, LevelWord::full},
        {3, std::nullopt, LevelWord::low, kDrains, true,
         "device low: Mouse MX Master 3: battery low"},
        {4, std::nullopt, LevelWord::low},
        {5, std::nullopt, LevelWord::critical, kDrains, true,
         "device critical: Mouse MX Master 3: battery critical"},
        {6, std::nullopt, LevelWord::normal, kDrains, true, "device over: Mouse MX Master 3"}}},
      {"a level unknown never warns, nor is reminded",
       {{0, 9, kWord, kDrains, true, low9, 24},
        {1, std::nullopt, kWord, kDrains, true, "", -1},
        {30, std::nullopt}}},
      {"disconnected: none, and its warning stays; back, it warns",
       {{0, 5, kWord, kDrains, false, "", -1},
        {1, 9, kWord, kDrains, true, low9},
        {2, 20, kWord, kDrains, false, "", -1},
        {3, 9, kWord, kDrains, true, low9}}},
      {"muted by name",
       {{0, 3, kWord, kDrains, true}, {1, std::nullopt, LevelWord::critical}},
       "MX Master 3",
       "<key>mute</key><true/>"},
      {"muted by name, typed in any case",
       {{0, 3, kWord, kDrains, true}, {1, std::nullopt, LevelWord::critical}},
       "mx master 3",
       "<key>mute</key><true/>"},
      {"levels by serial",
       {{0, 16},
        {1, 15, kWord, kDrains, true, "device low: Mouse MX Master 3: 15 % left"},
        {2, 8, kWord, kDrains, true,
         "device critical: Mouse MX Master 3: 8 % left, charge it now"}},
       "4711",
       "<key>lowLevel</key><integer>15</integer><key>criticalLevel</key><integer>8</integer>"},
      {"levels by address, in either case",
       {{0, 15, kWord, kDrains, true, "device low: Mouse MX Master 3: 15 % left"}},
       "AA:BB:CC:DD:EE:FF",
       "<key>lowLevel</key><integer>15</integer>"},
      {"another device's levels are not its own",
       {{0, 15}},
       "MX Master 2",
       "<key>lowLevel</key><integer>15</integer>"},
      {"low off: critical still warns, a Low word none",
       {{0, 8},
        {1, std::nullopt, LevelWord::low},
        {2, 5, kWord, kDrains, true,
         "device critical: Mouse MX Master 3: 5 % left, charge it now"}},
       "MX Master 3",
       "<key>lowLevel</key><integer>0</integer>"},
      {"both off: even 0 % is quiet",
       {{0, 0}},
       "MX Master 3",
       "<key>lowLevel</key><integer>0</integer><key>criticalLevel</key><integer>0</integer>"},
      {"a critical level of 1 still takes the Critical word",
       {{0, std::nullopt, LevelWord::critical, kDrains, true,
         "device critical: Mouse MX Master 3: battery critical"}},
       "MX Master 3",
       "<key>criticalLevel</key><integer>1</integer>"},
      {"a restart does not repeat a warning before its reminder",
       {{0, 9, kWord, kDrains, true, low9},
        {1, 9, kWord, kDrains, true, "", 24, true},
        {24, 9, kWord, kDrains, true, low9}}},
      {"a restart at a lower level of the same stage is quiet",
       {{0, 9, kWord, kDrains, true, low9}, {1, 7, kWord, kDrains, true, "", 24, true}}},
      {"a restart at a higher level still low: it charged, a new crossing",
       {{0, 8, kWord, kDrains, true, "device low: Mouse MX Master 3: 8 % left"},
        {1, 9, kWord, kDrains, true, low9, 25, true}}},
      {"a restart at a new stage warns it",
       {{0, 9, kWord, kDrains, true, low9}, {1, 4, kWord, kDrains, true, crit4, 25, true}}},
      {"critical kept over a restart; above critical re-arms it",
       {{0, 4, kWord, kDrains, true, crit4},
        {1, 4, kWord, kDrains, true, "", -2, true},
        {2, 7},
        {3, 4, kWord, kDrains, true, crit4}}},
      {"charged above before the restart: a new crossing",
       {{0, 9, kWord, kDrains, true, low9},
        {1, 50, kWord, kDrains, true, "device over: Mouse MX Master 3"},
        {2, 9, kWord, kDrains, true, low9, -2, true}}},
      {"a word kept over a restart; a higher one after a restart is a new crossing",
       {{0, std::nullopt, LevelWord::low, kDrains, true,
         "device low: Mouse MX Master 3: battery low"},
        {1, std::nullopt, LevelWord::low, kDrains, true, "", -2, true},
        {2, std::nullopt, LevelWord::critical, kDrains, true,
         "device critical: Mouse MX Master 3: battery critical", -2, true},
        {3, std::nullopt, LevelWord::low, kDrains, true,
         "device low: Mouse MX Master 3: battery low", -2, true},
        {4, std::nullopt, LevelWord::normal, kDrains, true, "device over: Mouse MX Master 3"}}},
      {"the level warned at holds over two restarts",
       {{0, 8, kWord, kDrains, true, "device low: Mouse MX Master 3: 8 % left"},
        {1, 8, kWord, kDrains, true, "", -2, true},
        {2, 9, kWord, kDrains, true, low9, -2, true}}},
      {"the word warned at holds over two restarts",
       {{0, std::nullopt, LevelWord::critical, kDrains, true,
         "device critical: Mouse MX Master 3: battery critical"},
        {1, std::nullopt, LevelWord::critical, kDrains, true, "", -2, true},
        {2, std::nullopt, LevelWord::low, kDrains, true,
         "device low: Mouse MX Master 3: battery low", -2, true}}},
      {"no level after a restart keeps what was given for later",
       {{0, 9, kWord, kDrains, true, low9},
        {1, std::nullopt, kWord, kDrains, true, "", -1, true},
        {2, 9, kWord, kDrains, true, "", 24, true}}},
      {"critical off: a Critical word warns as low",
       {{0, std::nullopt, LevelWord::critical, kDrains, true,
         "device low: Mouse MX Master 3: battery low"},
        {1, 2}},
       "MX Master 3",
       "<key>criticalLevel</key><integer>0</integer>"},
  };
  for (const auto& c : cases) {
    const std::string file =
        std::string("<plist><dict><key>devices</key><dict>") +
        (*c.entry ? std::string("<key>") + c.entry + "</key><dict>" + c.body + "</dict>" : "") +
        "</dict></dict></plist>";
    AlertSettings settings = readAlertSettings(brimwell::Plist::fromMemory(file)).settings;
    settings.remindHours = c.remindHours;
    AlertState state;
    for (const MouseStep& step : c.steps) {
      if (step.restart) {
        AlertState restarted;
        restarted.before = givenIn(givenPlist(givenWarnings(state)));
        state = restarted;
      }
      DeviceBattery mouse = device("serial:4711", "MX Master 3", "mouse", step.level);
      mouse.word = step.word;
      mouse.state = step.state;
      mouse.connected = step.connected;
      mouse.serial = "4711";
      mouse.address = "aa:bb:cc:dd:ee:ff";
      std::string said;
      for (const DeviceNotice& n : devicesNow({mouse}, settings, state, step.hour * 3600)) {
        said += (said.empty() ? "" : "; ") + noticeLine(n);
        EXPECT_EQ(n.id, "serial:4711");
      }
      EXPECT_EQ(said, step.said) << c.name << " at hour " << step.hour;
      if (step.due == -2) continue;
      const auto due = nextReminder(settings, state);
      EXPECT_EQ(due ? *due / 3600 : -1, step.due) << c.name << " at hour " << step.hour;
    }
  }
}

// Two devices keep their own crossings; one that goes from the list is remembered.
TEST(DeviceAlertPolicy, EachDeviceOnItsOwn) {
  const DeviceBattery mouse = device("serial:1", "M", "mouse", 9);
  const DeviceBattery headset = device("address:AA", "H", "headset", 8);
  AlertSettings settings;
  AlertState state;
  EXPECT_EQ(devicesNow({mouse}, settings, state, 0).size(), 1u);
  const auto both = devicesNow({mouse, headset}, settings, state, 60);
  ASSERT_EQ(both.size(), 1u);
  EXPECT_EQ(both[0].id, "address:AA");
  EXPECT_EQ(nextReminder(settings, state), 24 * 3600.0) << "the earlier of the two";
  AlertSettings hourly = settings;
  hourly.remindHours = 1;
  EXPECT_EQ(nextReminder(hourly, state), 3600.0);
  EXPECT_TRUE(devicesNow({headset}, settings, state, 120).empty());
  EXPECT_TRUE(devicesNow({mouse, headset}, settings, state, 180).empty());
}

// The record of the warnings given, as a restarted host reads it: an entry it cannot take is
// left out (that device may be warned about again, rather than never).
TEST(DeviceAlertPolicy, TheRecordOfWarningsGivenAsRead) {
  const struct {
    const char* record;  // the dictionary's body
    const char* read;    // "id stage level word at;" each
  } rows[] = {
      {"<key>a</key><dict><key>stage</key><string>low</string><key>level</key><integer>9</integer>"
       "<key>at</key><real>5</real></dict>",
       "a low 9 - 5;"},
      {"<key>b</key><dict><key>stage</key><string>critical</string><key>word</key>"
       "<string>Critical</string><key>at</key><real>1.5</real></dict>",
       "b critical - 4 1.5;"},
      {"<key>c</key><dict><key>level</key><integer>9</integer><key>at</key><real>5</real></dict>",
       ""},
      {"<key>c</key><dict><key>stage</key><string>low</string></dict>", ""},
      {"<key>c</key><dict><key>stage</key><string>low</string><key>at</key><integer>5</integer>"
       "</dict>",
       ""},
      {"<key>c</key><dict><key>stage</key><string>medium</string><key>at</key><real>5</real>"
       "</dict>",
       ""},
      {"<key>d</key><dict><key>stage</key><string>low</string><key>level</key><string>9</string>"
       "<key>at</key><real>5</real></dict><key>e</key><string>low</string>",
       "d low - - 5;"},
  };
  for (const auto& r : rows) {
    std::string read;
    const auto record =
        brimwell::Plist::fromMemory(std::string("<plist><dict>") + r.record + "</dict></plist>");
    for (const auto& [id, w] : givenIn(record)) {
      read += id + (w.stage == AlertStage::critical ? " critical " : " low ") +
              (w.level ? std::to_string(*w.level) : "-") + " " +
              (w.word ? std::to_string(static_cast<int>(*w.word)) : "-") + " " +
              brimwell::shortestDecimal(w.at) + ";";
    }
    EXPECT_EQ(read, r.read) << r.record;
    EXPECT_EQ(givenIn(givenPlist(givenIn(record))), givenIn(record)) << r.record;
  }
  EXPECT_TRUE(givenIn(brimwell::Plist::newArray()).empty());
}

// A hand-edited file: what the device warnings use, and what the host says about it.
TEST(DeviceAlertSettings, AHandEditedFileIsUsedSensiblyAndSaid) {
  const struct {
    const char* name;
    const char* body;
    int hours, low, critical;  // the hours, and the entry "MX"'s levels
    bool mute;
    const char* said;  // the complaints, "|" between them
  } cases[] = {
      {"none given", "", 24, 10, 5, false, ""},
      {"hours as a string", "<key>deviceRemindHours</key><string>6</string>", 6, 10, 5, false, ""},
      {"hours no number", "<key>deviceRemindHours</key><true/>", 24, 10, 5, false,
       "deviceRemindHours \"1\" is not a number; using 24"},
      {"hours over a month", "<key>deviceRemindHours</key><integer>721</integer>", 720, 10, 5,
       false, "deviceRemindHours 721 is outside 0 to 720; using 720"},
      {"hours below 0", "<key>deviceRemindHours</key><integer>-1</integer>", 0, 10, 5, false,
       "deviceRemindHours -1 is outside 0 to 720; using 0"},
      {"an entry",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><integer>15</"
       "integer><key>criticalLevel</key><integer>3</integer><key>mute</key><true/></dict></dict>",
       24, 15, 3, true, ""},
      {"a level out of range",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><integer>101</integer></"
       "dict></dict>",
       24, 100, 5, false, "devices \"MX\" lowLevel 101 is outside 0 to 100; using 100"},
      {"a critical level out of range, then sorted",
       "<key>devices</key><dict><key>MX</key><dict><key>criticalLevel</key><integer>101</integer>"
       "</dict></dict>",
       24, 100, 10, false, "devices \"MX\" criticalLevel 101 is outside 0 to 100; using 100"},
      {"a level that is no number",
       "<key>devices</key><dict><key>MX</key><dict><key>criticalLevel</key><string>low</string></"
       "dict></dict>",
       24, 10, 5, false, "devices \"MX\" criticalLevel \"low\" is not a number; using 5"},
      {"an empty string is no number",
       "<key>devices</key><dict><key>MX</key><dict><key>criticalLevel</key><string></string></"
       "dict></dict>",
       24, 10, 5, false, "devices \"MX\" criticalLevel \"\" is not a number; using 5"},
      {"a level as digits and more",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><string>15%</string></dict></"
       "dict>",
       24, 10, 5, false, "devices \"MX\" lowLevel \"15%\" is not a number; using 10"},
      {"a level as a real",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><real>12.7</real></dict></"
       "dict>",
       24, 12, 5, false, ""},
      {"mute that is no flag",
       "<key>devices</key><dict><key>MX</key><dict><key>mute</key><string>yes</string></dict></"
       "dict>",
       24, 10, 5, false, "devices \"MX\" mute \"yes\" is not true or false; using false"},
      {"mute false",
       "<key>devices</key><dict><key>MX</key><dict><key>mute</key><false/></dict></dict>", 24, 10,
       5, false, ""},
      {"levels out of order: sorted",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><integer>4</integer></dict></"
       "dict>",
       24, 5, 4, false,
       "devices \"MX\" lowLevel 4, criticalLevel 5 are out of order: using them sorted"},
      {"equal levels are in order",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><integer>5</integer></dict></"
       "dict>",
       24, 5, 5, false, ""},
      {"low off: critical alone is in order",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><integer>0</integer></dict></"
       "dict>",
       24, 0, 5, false, ""},
      {"an entry that is no dictionary",
       "<key>devices</key><dict><key>MX</key><integer>3</integer></dict>", 24, 10, 5, false,
       "devices \"MX\" is not a dictionary; using the defaults"},
      {"devices that is no dictionary", "<key>devices</key><array/>", 24, 10, 5, false,
       "devices is not a dictionary; every device uses the defaults"},
      {"by its serial in another case",
       "<key>devices</key><dict><key>4089-A6</key><dict><key>lowLevel</key><integer>15</integer>"
       "</dict></dict>",
       24, 15, 5, false, ""},
      {"its serial before its name",
       "<key>devices</key><dict><key>MX</key><dict><key>lowLevel</key><integer>7</integer></dict>"
       "<key>4089-a6</key><dict><key>lowLevel</key><integer>15</integer></dict></dict>",
       24, 15, 5, false, ""},
  };
  for (const auto& c : cases) {
    const AlertSettingsReading r = readAlertSettings(
        brimwell::Plist::fromMemory(std::string("<plist><dict>") + c.body + "</dict></plist>"));
    DeviceBattery mx;
    mx.name = "MX";
    mx.serial = "4089-a6";
    const DeviceLevels levels = r.settings.levelsFor(mx);
    EXPECT_EQ(r.settings.remindHours, c.hours) << c.name;
    EXPECT_EQ(levels.lowLevel, c.low) << c.name;
    EXPECT_EQ(levels.criticalLevel, c.critical) << c.name;
    EXPECT_EQ(levels.mute, c.mute) << c.name;
    std::string said;
    for (const std::string& line : r.complaints) said += (said.empty() ? "" : "|") + line;
    EXPECT_EQ(said.rfind(c.said, 0), 0u) << c.name << ": " << said;
    EXPECT_EQ(said.empty(), !*c.said) << c.name << ": " << said;
  }
}

// What a device's notice says, in each language and for each kind.
TEST(DeviceAlertTexts, WhatTheUserReads) {
  const struct {
    const char* language;
    const char* kind;
    std::optional<int> level;
    AlertStage stage;
    const char* text;
    const char* name = "WH-1000XM4";
  } cases[] = {
      {"en", "headset", 8, AlertStage::low, "Headset WH-1000XM4: 8 % left"},
      {"en", "keyboard", 0, AlertStage::critical, "Keyboard WH-1000XM4: 0 % left, charge it now"},
      {"en", "controller", std::nullopt, AlertStage::low, "Controller WH-1000XM4: battery low"},
      {"en", "pen", std::nullopt, AlertStage::critical, "Pen WH-1000XM4: battery critical"},
      {"en", "other", 8, AlertStage::low, "WH-1000XM4: 8 % left"},
      {"en", "toaster", 8, AlertStage::low, "WH-1000XM4: 8 % left"},
      {"zh-Hans", "other", 8, AlertStage::low, "WH-1000XM4：剩余 8%"},
      {"en", "mouse", 9, AlertStage::low, "Bluetooth Mouse M336: 9 % left", "Bluetooth Mouse M336"},
      {"zh-Hant", "mouse", 9, AlertStage::low, "Bluetooth Mouse M336：剩餘 9%",
       "Bluetooth Mouse M336"},
      {"zh-Hans", "mouse", 9, AlertStage::low, "罗技鼠标：剩余 9%", "罗技鼠标"},
      {"en", "pen", 9, AlertStage::low, "Pen Open: 9 % left", "Open"},
      {"de", "mouse", 8, AlertStage::low, "Mouse WH-1000XM4: 8 % left"},
      {"zh-Hans", "headset", 4, AlertStage::critical, "耳机 WH-1000XM4：剩余 4%，请立即充电"},
      {"zh-Hans", "mouse", std::nullopt, AlertStage::low, "鼠标 WH-1000XM4：电量低"},
      {"zh-Hant", "controller", 8, AlertStage::low, "遊戲控制器 WH-1000XM4：剩餘 8%"},
      {"zh-Hant", "pen", std::nullopt, AlertStage::critical, "觸控筆 WH-1000XM4：電量嚴重不足"},
  };
  for (const auto& c : cases) {
    DeviceNotice n;
    n.name = c.name;
    n.kindWord = c.kind;
    n.level = c.level;
    n.stage = c.stage;
    EXPECT_EQ(noticeText(n, c.language), c.text) << c.language << " " << c.kind;
  }
  DeviceNotice over;
  over.kind = DeviceNotice::withdraw;
  over.name = "MX Master 3";
  over.kindWord = "other";
  EXPECT_EQ(noticeLine(over), "device over: MX Master 3");
}

}  // namespace
}  // namespace host::devices
