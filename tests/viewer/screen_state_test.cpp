#include "viewer/table/screen_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

#include "platform/foundation/ns_dictionary.h"
#include "platform/uikit/ui_view.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "viewer/table/bid_battery_info.h"
#include "viewer/table/laptop_units.h"
#include "viewer/table/last_sleep.h"
#include "viewer/table/main_storyboard.h"
#include "viewer/table/screen_footer.h"
#include "viewer/table/sleep_line.h"

namespace {

// Marks every looked-up text so the tests see which key was used.
std::string tagged(const std::string& key) {
  return "<" + key + ">";
}
std::string english(const std::string& key) {
  return key;
}

BIDBatteryInfo charging(int32_t current, float level, int32_t maxCap, int32_t currentCap) {
  BIDBatteryInfo info;
  info.instanceCurrent = current;
  info.currentLevel = level;
  info.maxCap = maxCap;
  info.currentCap = currentCap;
  return info;
}

TEST(RemainingTime, EstimatesInTheirOwnPrecision) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    int32_t current;
    float level;
    int32_t maxCap, currentCap;
    int32_t hours, minutes;
  } cases[] = {
      // Draining: until empty.
      {-300, 50, 0, 900, 3, 0},
      {-600, 50, 0, 300, 0, 30},
      {-400, 50, 0, 500, 1, 15},
      {-200, 50, 0, 770, 3, 50},  // hours is the float just below 3.85
      {-150, 50, 0, 0, 0, 0},
      {INT32_MIN, 50, 0, INT32_MAX, 1, 0},  // no overflow in the absolute value
      // Charging below 80 %: to 80 % in double, plus an hour, narrowed to float.
      {400, 50, 800, 400, 1, 36},
      {180, 60, 900, 540, 2, 0},
      {100, 75, 800, 600, 1, 23},  // 1.4 narrows to the float just below it
      // Charging at 80 % or more: three minutes a percent.
      {1, 80, 0, 0, 0, 60},
      {1, 90, 0, 0, 0, 30},
      {1, 95.7f, 0, 0, 0, 12},
      {1, 99.5f, 0, 0, 0, 1},
      {1, 100, 0, 0, 0, 0},
      {1, nan, 0, 0, 0, 0},  // a level that is not a number takes the minutes branch: NaN -> 0
  };
  for (const auto& c : cases) {
    const auto estimate =
        remainingHoursMinutes(charging(c.current, c.level, c.maxCap, c.currentCap));
    ASSERT_TRUE(estimate.has_value());
    EXPECT_EQ(estimate->hours, c.hours) << c.current << " " << c.level << " " << c.currentCap;
    EXPECT_EQ(estimate->minutes, c.minutes) << c.current << " " << c.level << " " << c.currentCap;
  }
}

TEST(RemainingTime, TextAtZeroCurrent) {
  const struct {
    bool isCharging;
    bool full;
    float level;
    std::optional<std::string> text;
  } cases[] = {
      {true, false, 100.0f, "<Trickle Charging...>"},
      {true, true, 100.0f, "<Trickle Charging...>"},
      {false, true, 100.0f, "<Charging is complete>"},
      {false, false, 100.0f, std::nullopt},
      {true, true, 99.9f, std::nullopt},
      {false, true, std::nanf(""), std::nullopt},
  };
  for (const auto& c : cases) {
    BIDBatteryInfo info = charging(0, c.level, 0, 0);
    info.charging = c.isCharging;
    info.isFullyCharged = c.full;
    EXPECT_EQ(remainingTimeText(info, tagged), c.text) << c.isCharging << c.full << c.level;
  }
  EXPECT_EQ(remainingTimeText(charging(-200, 50, 0, 770), english), "3 h 50 m");
  // A translation is a format too.
  EXPECT_EQ(remainingTimeText(charging(-200, 50, 0, 770),
                              [](const std::string&) { return std::string("%d:%02d"); }),
            "3:50");
}

TEST(LastSleep, TheTablesLine) {
  const struct {
    double seconds, before, after;
    std::optional<double> perHour;
    bool external;
    const char* text;
  } cases[] = {
      {7 * 3600 + 12 * 60, 80, 76, 0.57, false, "7 h 12 m, -4 %, 0.6 %/h"},
      {45 * 60, 60, 60, 0, false, "45 min, 0 %, 0.0 %/h"},
      {59 * 60 + 29, 60, 59.6, 0.4, false, "59 min, 0 %, 0.4 %/h"},
      {59 * 60 + 30, 60, 59.5, 0.5, false, "1 h 0 m, -1 %, 0.5 %/h"},  // rounded away from 0
      {3600, 50, 51.4, -1.4, false, "1 h 0 m, +1 %, -1.4 %/h"},
      {600, 50, 50.1, -0.04, false, "10 min, 0 %, 0.0 %/h"},  // never "-0.0"
      {-5, 50, 50, 0, false, "0 s, 0 %, 0.0 %/h"},
      {29, 60, 59, std::nullopt, false, "29 s, -1 %"},
      {25 * 3600, 90, 20, 2.8, true, "25 h 0 m, <on external power>"},
  };
  for (const auto& c : cases) {
    history::SleepEntry sleep;
    sleep.start = 1.8e9;
    sleep.end = sleep.start + c.seconds;
    sleep.levelBefore = c.before;
    sleep.levelAfter = c.after;
    sleep.percentPerHour = c.perHour;
    sleep.externalPower = c.external;
    EXPECT_EQ(lastSleepText(sleep, tagged), c.text) << c.seconds;
  }
}

// Read at the first refresh, then at most once a minute, again at once when the clock went back;
// once the last is known only it and later ones are read, and a history that lost it is read
// whole.
TEST(LastSleep, ReadOnceAMinuteAndOnlyFromTheLastOn) {
  history::SleepEntry first, second;
  first.start = 100;
  second.start = 500;
  std::optional<std::vector<history::SleepEntry>> held;  // none: no history
  std::vector<double> asked;
  LastSleepReader reader([&](double since) {
    asked.push_back(since);
    HistoryReading r;
    if (!held) r.none = "no history yet";
    for (const auto& s : held.value_or(std::vector<history::SleepEntry>()))
      if (s.start >= since) r.sleeps.push_back(s);
    return r;
  });
  using Sleeps = std::vector<history::SleepEntry>;
  const struct {
    double now;
    std::optional<Sleeps> held;
    std::vector<double> asked;   // the times read since, at this refresh
    std::optional<double> last;  // the start of the last sleep given
  } steps[] = {
      {1000, Sleeps{first}, {0}, 100},           {1059, Sleeps{first, second}, {}, 100},
      {1060, Sleeps{first, second}, {100}, 500}, {1060, Sleeps{first}, {}, 500},
      {1030, Sleeps{second}, {500}, 500},         // the clock went back
      {1100, Sleeps{first}, {500, 0}, 100},       // a history started afresh
      {1200, std::nullopt, {100}, std::nullopt},  // no history now
      {1300, Sleeps(), {0}, std::nullopt},        // a history without a sleep
  };
  for (const auto& step : steps) {
    held = step.held;
    asked.clear();
    const auto last = reader.at(step.now);
    EXPECT_EQ(asked, step.asked) << step.now;
    EXPECT_EQ(last ? std::optional(last->start) : std::nullopt, step.last) << step.now;
  }
}

TEST(ScreenColors, StrictBoundaries) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const UIColor red = screen_colors::red(), green = screen_colors::green();
  const UIColor yellowGreen = screen_colors::yellowGreen();
  const UIColor orange = UIColor::orangeColor(), blue = UIColor::blueColor();

  const struct {
    float level;
    UIColor color;
  } levels[] = {{19.99f, red}, {20.0f, green}, {nan, green}, {-5.0f, red}, {100.0f, green}};
  for (const auto& c : levels) EXPECT_EQ(levelColor(c.level), c.color) << c.level;

  const struct {
    float t;
    UIColor color;
  } temperatures[] = {{-5, blue},   {0, blue},    {1, green}, {34, green},
                      {35, orange}, {60, orange}, {nan, blue}};
  for (const auto& c : temperatures) EXPECT_EQ(temperatureColor(c.t), c.color) << c.t;

  const struct {
    float h;
    UIColor color;
  } health[] = {{80.0f, orange}, {80.01f, yellowGreen}, {90.0f, yellowGreen}, {90.01f, green},
                {inf, green},    {nan, orange},         {0.0f, orange}};
  for (const auto& c : health) EXPECT_EQ(healthColor(c.h), c.color) << c.h;

  EXPECT_EQ(red, UIColor::colorWithRed(0.8f, 0.0f, 0.0f, 1.0f));
  EXPECT_EQ(yellowGreen, UIColor::colorWithRed(0.5f, 0.75f, 0.0f, 1.0f));
}

// A laptop's power and energy lines: one decimal, no sign on a draw too small to show, no
// energy line without both energies.
TEST(ScreenState, ALaptopsPowerAndEnergyLines) {
  const struct {
    const char* name;
    std::optional<int32_t> milliwatts, energy, full;
    std::optional<std::string> power, energyLine;
  } cases[] = {
      {"drawing", -10234, 30780, 45600, "-10.2 W", "30.8 Wh of 45.6 Wh"},
      {"a draw too small to show", -40, std::nullopt, 45600, "0.0 W", std::nullopt},
      {"charging, no full energy", 17160, 30780, std::nullopt, "17.2 W", std::nullopt},
      {"no figures", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    LaptopFigures f;
    f.powerMilliwatts = c.milliwatts;
    f.energyMilliwattHours = c.energy;
    f.energyFullMilliwattHours = c.full;
    EXPECT_EQ(powerText(f), c.power) << c.name;
    EXPECT_EQ(energyText(f), c.energyLine) << c.name;
  }
}

TEST(ScreenState, FullChargeLineAndCharger) {
  const struct {
    bool plugged, isCharging, full;
    const char* fullLine;
  } cases[] = {
      {true, true, true, "<Yes>"},           {true, false, true, "<Yes>"},
      {false, false, true, "<No Charger>"},  {false, true, false, "<No Charger>"},
      {true, false, false, "<No Charging>"}, {true, true, false, "<No>"},
  };
  for (const auto& c : cases) {
    BIDBatteryInfo info;
    info.chargerIsPluggedIn = c.plugged;
    info.charging = c.isCharging;
    info.isFullyCharged = c.full;
    info.chargingCurrentMsg = "1000 mA";
    const ScreenState s = computeScreenState("iPhone 6", info, tagged);
    EXPECT_EQ(s[Outlet::fullyChargedLabel].text, c.fullLine);
    EXPECT_EQ(s[Outlet::outputLabel].text, c.plugged ? "1000 mA" : "<No Charger>");
  }
}

// A phone's by the current's sign; a laptop's by the host's word, since a driver may give no
// current at all.
TEST(ScreenState, DrainingOrChargingByTheSignOfTheCurrent) {
  const struct {
    int32_t current;
    const char* laptopState;
    const char* state;
    const char* caption;
    UIColor color;
  } cases[] = {
      {-1, nullptr, "<Draining...>", "<Can Use>", screen_colors::red()},
      {0, nullptr, "<Charging...>", "<Remaining Time>", screen_colors::green()},
      {1, nullptr, "<Charging...>", "<Remaining Time>", screen_colors::green()},
      {0, "discharging", "<Draining...>", "<Can Use>", screen_colors::red()},
      {-1, "charging", "<Charging...>", "<Remaining Time>", screen_colors::green()},
  };
  for (const auto& c : cases) {
    BIDBatteryInfo info = charging(c.current, 99.9f, 2000, 1998);
    if (c.laptopState) info.laptop = LaptopFigures{{}, {}, {}, {}, {}, c.laptopState};
    const ScreenState s = computeScreenState("x", info, tagged);
    EXPECT_EQ(s[Outlet::chargingOrDrainingLabel].text, c.state);
    EXPECT_EQ(s[Outlet::useOrRemainingLabel].text, c.caption);
    EXPECT_EQ(s[Outlet::currentLabel].color, c.color);
  }
  // A laptop's last minute is a time still.
  BIDBatteryInfo lastMinute;
  lastMinute.laptop = LaptopFigures{{}, 0, {}, {}, {}, "discharging"};
  EXPECT_EQ(computeScreenState("x", lastMinute, english)[Outlet::remainingTimeLabel].text,
            "0 h 0 m");
  // At zero current and 99.9 % the remaining-time line is empty.
  EXPECT_EQ(
      computeScreenState("x", charging(0, 99.9f, 2000, 1998), tagged)[Outlet::remainingTimeLabel]
          .text,
      std::nullopt);
}

TEST(ScreenState, EveryOutletGetsATextAndOnlyFourAColour) {
  BIDBatteryInfo info;
  info.levelMsg = "87.50%";
  info.manufacturerMsg = "(null)";
  const ScreenState s = computeScreenState("iPhone 6", info, english);
  size_t coloured = 0;
  for (size_t i = 0; i < kOutletCount; ++i) {
    const Outlet o = static_cast<Outlet>(i);
    if (o != Outlet::remainingTimeLabel) {
      EXPECT_TRUE(s[o].text.has_value()) << outletName(o);
    }
    if (s[o].color) ++coloured;
    EXPECT_EQ(s[o].color.has_value(), outletIsColoured(o)) << outletName(o);
  }
  EXPECT_EQ(coloured, 4u);
  EXPECT_EQ(s[Outlet::deviceLabel].text, "iPhone 6");
  EXPECT_EQ(s[Outlet::currentBatteryLevel].text, "87.50%");
  EXPECT_STREQ(outletName(Outlet::batteryHeath), "batteryHeath");
  EXPECT_STREQ(outletName(Outlet::serialNumberLabel), "serialNumberLabel");
  // The table's header, 0.1 points high (0 would take the table's default height).
  MainStoryboard storyboard;
  storyboard.controller().setTableViewFrame();
  const UIView* header = storyboard.controller().mainTableView()->tableHeaderView();
  EXPECT_EQ(header->frame().size.height, static_cast<CGFloat>(0.1f));
}

// Where the reading found no status: the device's zeros on the simulated phone, elsewhere a
// screen that says so; a status with a capacity is shown either way.
TEST(ScreenState, NoStatusAsTheDeviceShowsItOrSaid) {
  const std::string capacity = "<key>AppleRawMaxCapacity</key><integer>1000</integer>";
  const struct {
    const char* name;
    std::string body;
    bool gone;
    NoStatusShown noStatus;
    const char *level, *current;
    size_t coloured;  // and no dashes; without colours, a dash on all but four lines
  } cases[] = {
      {"the phone's zeros", "", false, NoStatusShown::asTheDevice, "nan%", "<Charging...>", 4},
      {"said", "", false, NoStatusShown::said, "<No status yet>", "<Current>", 0},
      {"the battery gone", "", true, NoStatusShown::said, "<No battery>", "<Current>", 0},
      {"a capacity alone is a status", capacity, false, NoStatusShown::said, "0.00%",
       "<Charging...>", 4},
  };
  for (const auto& c : cases) {
    BIDBatteryInfo info;
    fillBatteryInfo(info,
                    NSDictionary(brimwell::Plist::fromMemory(testing_support::plistXml(c.body))));
    info.batteryGone = c.gone;
    const ScreenState s = computeScreenState("ThinkPad", info, tagged, c.noStatus);
    EXPECT_EQ(s[Outlet::currentBatteryLevel].text, c.level) << c.name;
    EXPECT_EQ(s[Outlet::chargingOrDrainingLabel].text, c.current) << c.name;
    size_t coloured = 0, dashes = 0;
    for (const OutletState& o : s.outlets) {
      coloured += o.color.has_value();
      dashes += o.text == std::optional<std::string>(kNotGiven);
    }
    EXPECT_EQ(coloured, c.coloured) << c.name;
    EXPECT_EQ(dashes, c.coloured ? 0u : kOutletCount - 4) << c.name;
  }
}

// A laptop battery with no percent: its word in the level line, coloured by what it means, and
// the charge lines it cannot have dashed rather than zero.
TEST(ScreenState, ALevelOnlyInAWord) {
  const struct {
    const char* word;
    std::optional<UIColor> color;
  } cases[] = {{"Critical", screen_colors::red()},
               {"Low", screen_colors::red()},
               {"Normal", screen_colors::green()},
               {"Full", screen_colors::green()},
               {"Unknown", std::nullopt}};
  for (const auto& c : cases) {
    BIDBatteryInfo info;
    fillBatteryInfo(info, NSDictionary(brimwell::Plist::fromMemory(testing_support::plistXml(
                              std::string("<key>ChargingState</key><string>discharging</string>"
                                          "<key>BatteryLevelWord</key><string>") +
                              c.word + "</string>"))));
    const ScreenState s = computeScreenState("ThinkPad", info, tagged, NoStatusShown::said);
    EXPECT_EQ(s[Outlet::currentBatteryLevel].text, "<" + std::string(c.word) + ">");
    EXPECT_EQ(s[Outlet::currentBatteryLevel].color, c.color) << c.word;
    EXPECT_EQ(s[Outlet::chargingOrDrainingLabel].text, "<Draining...>") << c.word;
    for (const Outlet o : {Outlet::currentCap, Outlet::maxCap, Outlet::batteryHeath})
      EXPECT_EQ(s[o].text, std::optional<std::string>(kNotGiven)) << c.word;
  }
}

// The footer's time of a status the host has not touched for a while (read in UTC).
TEST(ScreenFooter, AStaleStatusSaysWhenItWasWritten) {
  constexpr double kWritten = 1796731200;  // 2026-12-08 12:00 UTC
  const struct {
    double age;
    std::string first;
  } cases[] = {
      {10 * 60, "q quit, arrows scroll, g graph, refreshes every 10 s"},
      {12 * 60, "As of 12:00 (12 min ago): the host has not read the battery since"},
      {3 * 86400, "As of 2026-12-08 12:00 (4320 min ago): the host has not read the battery since"},
  };
  {
    testing_support::ScopedEnvironment env;
    env.set("TZ", "UTC");
    tzset();
    for (const auto& c : cases) {
      FooterFacts facts;
      facts.written = true;
      facts.writtenAt = kWritten;
      facts.now = kWritten + c.age;
      EXPECT_EQ(footerLines(facts, [](const std::string& key) { return key; }).front(), c.first)
          << c.age;
    }
  }
  tzset();
}

}  // namespace
