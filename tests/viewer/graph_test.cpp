#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <functional>

#include "tests/support/scoped_environment.h"
#include "viewer/graph/graph_canvas.h"
#include "viewer/graph/graph_days.h"
#include "viewer/graph/graph_page.h"
#include "viewer/graph/graph_plot.h"
#include "viewer/graph/graph_wear.h"
#include "viewer/output/history_output.h"

using history::HealthEntry;
using history::Sample;

namespace {

constexpr double kNoon = 1796731200;  // 2026-12-08T12:00:00Z
constexpr double kDay = 86400;

// Times in these tests are read in UTC, whatever the machine's zone.
class InUtc {
 public:
  InUtc() {
    env_.set("TZ", "UTC");
    tzset();
  }
  ~InUtc() { tzset(); }

 private:
  testing_support::ScopedEnvironment env_;
};

std::string english(const std::string& text) {
  return text;
}

TEST(BrailleCanvas, DotsLandInTheirCellsAndBits) {
  const struct {
    const char* name;
    std::function<void(BrailleCanvas&)> draw;
    uint8_t topLeft, bottomRight;  // cells (0,0) and (1,1) of a 2 x 2 canvas
  } cases[] = {
      {"first dot", [](BrailleCanvas& c) { c.set(0, 0); }, 0x01, 0},
      {"right column", [](BrailleCanvas& c) { c.set(1, 0); }, 0x08, 0},
      {"bottom row: dots 7 and 8", [](BrailleCanvas& c) { c.set(0, 3), c.set(1, 3); }, 0xC0, 0},
      {"next cell", [](BrailleCanvas& c) { c.set(2, 4); }, 0, 0x01},
      {"last dot", [](BrailleCanvas& c) { c.set(3, 7); }, 0, 0x80},
      {"outside is dropped",
       [](BrailleCanvas& c) { c.set(-1, 0), c.set(4, 0), c.set(0, 8), c.set(0, -1); }, 0, 0},
      {"a steep line through both cells", [](BrailleCanvas& c) { c.line(0, 0, 3, 7); }, 0xA3, 0xA3},
      {"drawn backwards alike", [](BrailleCanvas& c) { c.line(3, 7, 0, 0); }, 0xA3, 0xA3},
      {"a line running off the canvas", [](BrailleCanvas& c) { c.line(0, 7, 9, 7); }, 0, 0xC0},
  };
  for (const auto& c : cases) {
    BrailleCanvas canvas(2, 2);
    c.draw(canvas);
    EXPECT_EQ(canvas.bits(0, 0), c.topLeft) << c.name;
    EXPECT_EQ(canvas.bits(1, 1), c.bottomRight) << c.name;
  }
  BrailleCanvas full(1, 1);
  for (int y = 0; y < 4; ++y) full.set(0, y), full.set(1, y);
  EXPECT_EQ(full.cellText(0, 0), "\u28FF");
  EXPECT_EQ(BrailleCanvas(1, 1).cellText(0, 0), " ");
}

// A series of a minute apart: `level(t)` and `power(t)` at each, external power while
// `charger(t)`; t runs from 0 to 1 over the span.
std::vector<Sample> series(double span, int count, std::function<double(double)> level,
                           std::function<std::optional<double>(double)> power,
                           std::function<bool(double)> charger) {
  std::vector<Sample> out;
  for (int i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / (count - 1);
    Sample s;
    s.time = kNoon - span + t * span;
    s.level = level(t);
    s.powerW = power(t);
    s.externalPower = charger(t);
    s.state = s.externalPower ? "charging" : "discharging";
    out.push_back(s);
  }
  return out;
}

struct Picture {
  std::vector<std::string> rows;         // as text
  std::vector<int> levelRows;            // the rows where the level's dots are
  int chargerFrom = -1, chargerTo = -1;  // the charger row's first and last bar, in cells
};

Picture look(const std::vector<GraphRow>& rows) {
  Picture p;
  for (size_t r = 0; r < rows.size(); ++r) {
    p.rows.push_back(rows[r].text());
    for (size_t c = 0; c < rows[r].cells.size(); ++c) {
      const Ink ink = rows[r].inks[c];
      if ((ink == Ink::level || ink == Ink::both) &&
          (p.levelRows.empty() || p.levelRows.back() != static_cast<int>(r))) {
        p.levelRows.push_back(static_cast<int>(r));
      }
      if (ink == Ink::charger && rows[r].cells[c] == "\u2501") {
        if (p.chargerFrom < 0) p.chargerFrom = static_cast<int>(c);
        p.chargerTo = static_cast<int>(c);
      }
    }
  }
  return p;
}

TEST(GraphPlot, KnownSeriesInBrailleWithBothAxesAndTheCharger) {
  InUtc utc;
  const auto falling = [](double t) { return 80 - 10 * t; };
  const auto steady = [](double) { return 60.0; };
  const auto chargeThenDrain = [](double t) -> std::optional<double> {
    return t < 1.0 / 3 ? 20.0 : -10.0;
  };
  const auto draining = [](double) -> std::optional<double> { return -10.0; };
  const auto noPower = [](double) -> std::optional<double> { return std::nullopt; };
  const auto firstThird = [](double t) { return t < 1.0 / 3; };
  const auto never = [](double) { return false; };
  const struct {
    const char* name;
    double span;
    std::vector<Sample> samples;
    std::vector<std::string> rowStarts;  // the left axis, top to bottom, then the times' row
    std::string powerTop, powerBottom;   // the right axis's ends ("" : none)
    std::vector<std::string> times;      // labels on the time axis, in order
    std::vector<int> levelRows;
    int chargerFrom, chargerTo;  // cells of the plot's 47; -1: none
  } cases[] = {
      {"an hour, charger first",
       3600,
       series(3600, 61, falling, chargeThenDrain, firstThird),
       {"100 %\u2524", "     \u2502", " 75 %\u2524", "     \u2502", " 50 %\u2524", "     \u2502",
        " 25 %\u2524", "     \u2502", "  0 %\u2524"},
       "\u251c 30 W",
       "\u251c -10 W",
       {"11:00", "11:15", "11:30", "11:45", "12:00"},
       {1, 2},
       6,
       6 + 15},
      {"a day without power readings",
       kDay,
       series(kDay, 24 * 60 + 1, steady, noPower, never),
       {"100 %\u2524", "     \u2502", " 75 %\u2524"},
       "\u2502",
       "\u2502",
       {"12:00", "18:00", "00:00", "06:00", "12:00"},
       {3},
       -1,
       -1},
      {"a week, drawn in days",
       7 * kDay,
       series(7 * kDay, 7 * 24 + 1, falling, draining, never),
       {"100 %\u2524"},
       "\u251c 0 W",
       "\u251c -10 W",
       {"12-03", "12-05", "12-07"},
       {1, 2},
       -1,
       -1},
  };
  for (const auto& c : cases) {
    const Picture p = look(plotHistory(c.samples, {kNoon, c.span, 60, 12}));
    ASSERT_EQ(p.rows.size(), 12u) << c.name;
    for (size_t i = 0; i < c.rowStarts.size(); ++i) {
      EXPECT_EQ(p.rows[i].rfind(c.rowStarts[i], 0), 0u) << c.name << " row " << i << p.rows[i];
    }
    const auto ends = [](const std::string& row, const std::string& end) {
      return row.size() >= end.size() && row.compare(row.size() - end.size(), end.size(), end) == 0;
    };
    EXPECT_TRUE(ends(p.rows[0], c.powerTop)) << c.name << ": " << p.rows[0];
    EXPECT_TRUE(ends(p.rows[8], c.powerBottom)) << c.name << ": " << p.rows[8];
    size_t at = 0;
    for (const std::string& time : c.times) {
      at = p.rows[11].find(time, at);
      EXPECT_NE(at, std::string::npos) << c.name << ": " << time << " in " << p.rows[11];
    }
    EXPECT_EQ(p.levelRows, c.levelRows) << c.name;
    EXPECT_EQ(p.chargerFrom, c.chargerFrom < 0 ? -1 : c.chargerFrom) << c.name;
    EXPECT_EQ(p.chargerTo, c.chargerTo) << c.name;
    EXPECT_NE(p.rows[10].find("\u252c"), std::string::npos) << c.name << ": ticks";
  }
}

// Joined: at most twice the host's longest wait apart, or three dot columns on a long span.
TEST(GraphPlot, SamplesFartherApartThanTheHostWaitsAreNotJoined) {
  const struct {
    double span, apart;
    bool joined;
  } cases[] = {{3600, 20 * 60, true},
               {3600, 25 * 60, false},
               {kDay, 40 * 60, true},  // 94 dot columns: 46 minutes each three
               {kDay, 50 * 60, false}};
  for (const auto& c : cases) {
    Sample a, b;
    a.time = kNoon - c.span / 2;
    b.time = a.time + c.apart;
    a.level = 100;
    b.level = 0;
    int cells = 0;
    for (const GraphRow& row : plotHistory({a, b}, {kNoon, c.span, 54, 12})) {
      for (const Ink ink : row.inks) cells += ink == Ink::level;
    }
    EXPECT_EQ(cells > 2, c.joined) << c.span << " " << c.apart << ": " << cells << " cells";
  }
}

// Samples ten minutes apart over the span up to noon: each day climbing from 20 % at midnight to 80
// % at 23:00, on external power from midnight to 6:00; none on the days `unsampled` (0: today).
std::vector<Sample> climbingDays(double span, std::vector<int> unsampled = {}, bool power = false) {
  std::vector<Sample> out;
  for (double time = kNoon - span; time <= kNoon; time += 600) {
    const int hour = static_cast<int>(std::fmod(time, kDay) / 3600);
    const int day = static_cast<int>((kNoon + 12 * 3600 - time - 1) / kDay);
    if (std::find(unsampled.begin(), unsampled.end(), day) != unsampled.end()) continue;
    Sample s;
    s.time = time;
    s.level = 20 + 60 * hour / 23.0;
    s.externalPower = hour < 6;
    if (power) s.powerW = s.externalPower ? 20.0 : -10.0;
    out.push_back(s);
  }
  return out;
}

history::SleepEntry sleepFrom(double start, double end) {
  history::SleepEntry s;
  s.start = start;
  s.end = end;
  return s;
}

// From a week up each day is a whisker from its low to its high crossed by its mean, the
// charger's bar covers the share of the day on external power, and sleeps double the time axis.
TEST(GraphPlot, LongSpansInDaysAndSleepsOnTheAxis) {
  InUtc utc;
  const struct {
    const char* name;
    double span;
    std::vector<Sample> samples;
    std::vector<history::SleepEntry> sleeps;
    int levelCellsAt75;  // cells of the level in the plot's row at 75 %: one a day that reached it
    int chargerCells;
    int asleepFrom, asleepTo;  // the axis row's first and last doubled cell; -1: none
    int powerCells = 0;        // cells of the plot in the power's ink, or both
  } cases[] = {
      // Half a day from noon, six days, half a day to noon: 7 whiskers reach 75 %; each day
      // a quarter on external power, 2 of its 7 or 8 cells.
      {"a week", 7 * kDay, climbingDays(7 * kDay), {}, 7, 14, -1, -1},
      {"a week, two days unsampled", 7 * kDay, climbingDays(7 * kDay, {2, 4}), {}, 5, 10, -1, -1},
      {"a week with power: its whisker and mean a day too",
       7 * kDay,
       climbingDays(7 * kDay, {}, true),
       {},
       1,  // the rest where the power's whiskers cross it
       14,
       -1,
       -1,
       89},
      {"30 days: a cell a day at least", 30 * kDay, climbingDays(30 * kDay), {}, 30, 30, -1, -1},
      {"a day: every sample", kDay, climbingDays(kDay), {}, 10, 14, -1, -1},
      {"a week and a night asleep",
       7 * kDay,
       climbingDays(7 * kDay),
       {sleepFrom(kNoon - 2 * kDay + 9 * 3600, kNoon - kDay - 5 * 3600)},
       7,
       14,
       46,
       49},
      {"sleeps from before the span, after it, and backwards",
       7 * kDay,
       climbingDays(7 * kDay),
       {sleepFrom(kNoon - 8 * kDay, kNoon - 7 * kDay + 3 * 3600),
        sleepFrom(kNoon + 60, kNoon + 3600), sleepFrom(kNoon - 3600, kNoon - 7200)},
       7,
       14,
       6,
       7},
      {"a day's last six hours asleep",
       kDay,
       climbingDays(kDay),
       {sleepFrom(kNoon - 6 * 3600, kNoon)},
       10,
       14,
       45,
       58},
  };
  for (const auto& c : cases) {
    const std::vector<GraphRow> rows = plotHistory(c.samples, {kNoon, c.span, 60, 12}, c.sleeps);
    ASSERT_EQ(rows.size(), 12u) << c.name;
    int level = 0, charger = 0, from = -1, to = -1;
    for (size_t i = 0; i < rows[2].cells.size(); ++i) level += rows[2].inks[i] == Ink::level;
    for (const std::string& cell : rows[9].cells) charger += cell == "\u2501";
    for (size_t i = 0; i < rows[10].cells.size(); ++i) {
      if (rows[10].cells[i] != "\u2550" && rows[10].cells[i] != "\u2564") continue;
      if (from < 0) from = static_cast<int>(i);
      to = static_cast<int>(i);
    }
    EXPECT_EQ(level, c.levelCellsAt75) << c.name;
    EXPECT_EQ(charger, c.chargerCells) << c.name;
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(c.asleepFrom, c.asleepTo)) << c.name;
    int power = 0;
    for (size_t r = 0; r < 9; ++r) {
      for (const Ink ink : rows[r].inks) power += ink == Ink::power || ink == Ink::both;
    }
    EXPECT_EQ(power, c.powerCells) << c.name;
  }
}

// The legend names what the span draws: the power where there is one, the sleeps in the span.
TEST(GraphPage, TheLegendNamesWhatTheSpanDraws) {
  InUtc utc;
  const std::string level = " \u28c0 level (%), left   ", charger = "\u2501 on external power";
  const struct {
    const char* name;
    std::vector<Sample> samples;
    std::vector<history::SleepEntry> sleeps;
    std::string legend;
  } cases[] = {
      {"level alone", climbingDays(kDay), {}, level + charger},
      {"with power",
       climbingDays(kDay, {}, true),
       {},
       level + "\u28c0 power (W), right   " + charger},
      {"a sleep in the span",
       climbingDays(kDay),
       {sleepFrom(kNoon - 3600, kNoon - 600)},
       level + charger + "   \u2550 asleep"},
      {"a sleep before it",
       climbingDays(kDay),
       {sleepFrom(kNoon - 2 * kDay, kNoon - kDay - 1)},
       level + charger},
  };
  for (const auto& c : cases) {
    GraphPageFacts facts;
    facts.history.samples = c.samples;
    facts.history.sleeps = c.sleeps;
    facts.now = kNoon;
    facts.columns = 80;
    facts.rows = 20;
    const std::vector<GraphRow> page = graphPage(facts, english);
    ASSERT_EQ(page.size(), 20u) << c.name;
    EXPECT_EQ(page[1].text(), c.legend) << c.name;
    EXPECT_EQ(page[2].text().rfind(" 100 %\u2524", 0), 0u) << c.name << ": " << page[2].text();
  }
}

Sample at(double time, double level, std::optional<double> power = std::nullopt,
          bool external = false) {
  Sample s;
  s.time = time;
  s.level = level;
  s.powerW = power;
  s.externalPower = external;
  return s;
}

// Local days: from local midnight to local midnight, in the zone the machine is set to.
TEST(GraphDays, EachLocalDaysRangeMeanAndShareOnExternalPower) {
  constexpr double kMidnight = 1796774400;                       // 2026-12-09T00:00:00Z
  constexpr double kBackIn = 1792879200, kBackOut = 1792969200;  // Berlin's 25-hour 2026-10-25
  const char* berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
  const double nan = std::nan("");
  struct Day {
    double start, end, low, high, mean;
    std::optional<double> powerMean;
    double share;
  };
  const struct {
    const char* name;
    const char* zone;
    std::vector<Sample> samples;
    std::vector<Day> days;
    double from = kMidnight - kDay - 7200, to = kMidnight + 2 * kDay;
  } cases[] = {
      {"a second before midnight and at midnight: two days",
       "UTC",
       {at(kMidnight - 1, 50), at(kMidnight, 60)},
       {{kMidnight - kDay, kMidnight, 50, 50, 50, {}, 0},
        {kMidnight, kMidnight + kDay, 60, 60, 60, {}, 0}}},
      {"what a sample holds past midnight is the next day's",
       "UTC",
       {at(kMidnight - 600, 50, {}, true), at(kMidnight + 600, 49), at(kMidnight + 1800, 48)},
       {{kMidnight - kDay, kMidnight, 50, 50, 50, {}, 1},
        {kMidnight, kMidnight + kDay, 48, 49, 48.5, {}, 1.0 / 3}}},
      {"Berlin's midnight is 23:00 in winter",
       berlin,
       {at(kMidnight - 3601, 50), at(kMidnight - 3600, 60)},
       {{kMidnight - kDay - 3600, kMidnight - 3600, 50, 50, 50, {}, 0},
        {kMidnight - 3600, kMidnight + kDay - 3600, 60, 60, 60, {}, 0}}},
      {"the day the clocks go back has 25 hours",
       berlin,
       {at(kBackIn, 70), at(kBackOut - 1, 30)},
       {{kBackIn, kBackOut, 30, 70, 50, {}, 0}},
       kBackIn,
       kBackOut},
      {"a day without a sample is a gap",
       "UTC",
       {at(kMidnight - kDay + 60, 90), at(kMidnight + kDay + 60, 80)},
       {{kMidnight - kDay, kMidnight, 90, 90, 90, {}, 0},
        {kMidnight + kDay, kMidnight + 2 * kDay, 80, 80, 80, {}, 0}}},
      {"range, mean, and power where given",
       "UTC",
       {at(kMidnight + 60, 40, -5.0), at(kMidnight + 120, 80), at(kMidnight + 180, 60, -15.0)},
       {{kMidnight, kMidnight + kDay, 40, 80, 60, -10.0, 0}}},
      {"samples farther apart than joined hold no time; one alone holds its own",
       "UTC",
       {at(kMidnight + 60, 50, {}, true), at(kMidnight + 660, 50),
        at(kMidnight + 3000, 50, {}, true), at(kMidnight + kDay + 60, 50, {}, true)},
       {{kMidnight, kMidnight + kDay, 50, 50, 50, {}, 1},
        {kMidnight + kDay, kMidnight + 2 * kDay, 50, 50, 50, {}, 1}}},
      {"outside the span or not a number: left out; at its end: in",
       "UTC",
       {at(kMidnight - 2 * kDay, 10), at(kMidnight + 60, nan), at(kMidnight + 120, 30),
        at(kMidnight + 180, 10)},
       {{kMidnight, kMidnight + kDay, 30, 30, 30, {}, 0}},
       kMidnight - kDay,
       kMidnight + 120},
      {"joined at the very gap; a second held is held",
       "UTC",
       {at(kMidnight + 60, 50, {}, true), at(kMidnight + 60 + 22 * 60, 50),
        at(kMidnight + kDay + 60, 50, {}, true), at(kMidnight + kDay + 61, 50)},
       {{kMidnight, kMidnight + kDay, 50, 50, 50, {}, 1},
        {kMidnight + kDay, kMidnight + 2 * kDay, 50, 50, 50, {}, 1}}},
  };
  for (const auto& c : cases) {
    testing_support::ScopedEnvironment env;
    env.set("TZ", c.zone);
    tzset();
    const std::vector<DayRange> days = dailyRanges(c.samples, c.from, c.to, 22 * 60);
    tzset();
    ASSERT_EQ(days.size(), c.days.size()) << c.name;
    for (size_t i = 0; i < days.size(); ++i) {
      const DayRange& d = days[i];
      const Day& e = c.days[i];
      EXPECT_EQ(std::vector<double>(
                    {d.start, d.end, d.levelLow, d.levelHigh, d.levelMean, d.externalShare}),
                std::vector<double>({e.start, e.end, e.low, e.high, e.mean, e.share}))
          << c.name << ", day " << i;
      EXPECT_EQ(d.powerMean, e.powerMean) << c.name << ", day " << i;
      if (e.powerMean) {
        EXPECT_EQ(std::make_pair(*d.powerLow, *d.powerHigh), std::make_pair(-15.0, -5.0));
      }
    }
  }
}

HealthEntry entry(double daysBeforeNoon, int32_t full, std::optional<int32_t> cycles = 41,
                  const std::string& serial = "A1") {
  HealthEntry e;
  e.time = kNoon - daysBeforeNoon * kDay;
  e.serial = serial;
  e.designCapacity = 4480;
  e.fullChargeCapacity = full;
  e.cycleCount = cycles;
  return e;
}

TEST(Wear, EachPacksLineAndItsPaceToEightyPercent) {
  InUtc utc;
  const std::string tooShort = "80 % of design: the pace shows once the health log spans 30 days";
  // 4480 mAh design: 4256 is 95 %, 4032 is 90 %, 3584 is 80 %.
  const struct {
    const char* name;
    std::vector<HealthEntry> log;
    std::vector<std::string> lines;
  } cases[] = {
      {"no log", {}, {}},
      {"one entry",
       {entry(0, 4080)},
       {"Full charge 4080 mAh, 91 % of design; 41 cycles", tooShort}},
      {"a day, one cycle",
       {entry(1, 4081, 0), entry(0, 4080, 1)},
       {"Full charge 4080 mAh, 91 % of design; 0.0 % in 1 day; 1 cycle", tooShort}},
      {"29 days",
       {entry(29, 4256), entry(0, 4032)},
       {"Full charge 4032 mAh, 90 % of design; -5.0 % in 29 days; 41 cycles", tooShort}},
      // 5 points in 100 days: the 10 left take 200 more, from 2026-12-08 to 2027-06-26.
      {"a steady fall",
       {entry(100, 4256), entry(50, 4144), entry(0, 4032, std::nullopt)},
       {"Full charge 4032 mAh, 90 % of design; -5.0 % in 100 days",
        "80 % of design around 2027-06"}},
      // The line through all five, not the first and last alone (which say 2027-11).
      {"scattered about the line",
       {entry(100, 4120), entry(75, 4300), entry(50, 4030), entry(25, 4170), entry(0, 4000)},
       {"Full charge 4000 mAh, 89 % of design; -2.7 % in 100 days; 41 cycles",
        "80 % of design around 2027-10"}},
      {"rising",
       {entry(60, 4000), entry(0, 4032)},
       {"Full charge 4032 mAh, 90 % of design; +0.7 % in 60 days; 41 cycles",
        "80 % of design not within 10 years"}},
      {"too slow",
       {entry(365, 4260), entry(0, 4256)},
       {"Full charge 4256 mAh, 95 % of design; -0.1 % in 365 days; 41 cycles",
        "80 % of design not within 10 years"}},
      {"already below",
       {entry(40, 3700), entry(0, 3500)},
       {"Full charge 3500 mAh, 78 % of design; -4.5 % in 40 days; 41 cycles",
        "Below 80 % of design already"}},
      {"a new pack: the old one, taken out, is not shown",
       {entry(200, 4000, 300, "OLD"), entry(10, 3600, 350, "OLD"), entry(5, 4470, 1, "NEW"),
        entry(0, 4460, 2, "NEW")},
       {"Full charge 4460 mAh, 100 % of design; -0.2 % in 5 days; 2 cycles", tooShort}},
      {"two packs in the machine, each named",
       {entry(40, 4400, 100, "SN0"), entry(40, 3900, 150, "SN1"), entry(0, 4300, 110, "SN0"),
        entry(0, 3500, 160, "SN1")},
       {"Pack SN0: Full charge 4300 mAh, 96 % of design; -2.2 % in 40 days; 110 cycles",
        "80 % of design around 2027-09",
        "Pack SN1: Full charge 3500 mAh, 78 % of design; -8.9 % in 40 days; 160 cycles",
        "Below 80 % of design already"}},
      {"an entry logged under a clock that ran ahead is passed over",
       {entry(0, 4080), entry(-1000, 2000)},
       {"Full charge 4080 mAh, 91 % of design; 41 cycles", tooShort}},
      {"entries without capacities are passed over",
       {entry(90, 0), entry(0, 4032)},
       {"Full charge 4032 mAh, 90 % of design; 41 cycles", tooShort}},
  };
  for (const auto& c : cases) EXPECT_EQ(wearLines(c.log, kNoon, english), c.lines) << c.name;
}

TEST(HistoryOutput, SamplesAndHealthAsCsvAndJson) {
  InUtc utc;
  Sample known;
  known.time = kNoon;
  known.level = 62.004;
  known.powerW = -10.5;
  known.state = "discharging";
  known.minutesToEmpty = 180.4;
  Sample unknown;
  unknown.time = kNoon + 60.9;
  unknown.level = 100;
  unknown.state = "full";
  unknown.externalPower = true;
  unknown.minutesToFull = 1e19;  // beyond what a whole number holds: not known
  HealthEntry odd = entry(0, 4080, std::nullopt, "SN \"7\", b");
  odd.designCapacity = 0;
  HealthEntry foreign = entry(0, 4080, 41, "A\x01\xff");
  const history::SleepEntry night{kNoon - 21720, kNoon,    60,    51,      5.88,   975.4,
                                  1.4917,        "s2idle", false, 21000.4, "irq 9"},
      plugged{kNoon, kNoon + 600.7, 51, 53, {}, {}, -12, "", true, {}, {}};  // cut: 600 s
  const struct {
    const char* name;
    std::string out, expected;
  } cases[] = {
      {"samples csv", samplesCsv({known, unknown}),
       "time,level,power_W,state,time_to_empty_min,time_to_full_min\n"
       "2026-12-08T12:00:00+00:00,62.00,-10.50,discharging,180,\n"
       "2026-12-08T12:01:00+00:00,100.00,,full,,\n"},
      {"samples json", samplesJson({known, unknown}),
       "[\n{\"time\":\"2026-12-08T12:00:00+00:00\",\"level\":62.00,\"power_W\":-10.50,"
       "\"state\":\"discharging\",\"time_to_empty_min\":180,\"time_to_full_min\":null},\n"
       "{\"time\":\"2026-12-08T12:01:00+00:00\",\"level\":100.00,\"power_W\":null,"
       "\"state\":\"full\",\"time_to_empty_min\":null,\"time_to_full_min\":null}\n]\n"},
      {"no samples", samplesCsv({}) + samplesJson({}),
       "time,level,power_W,state,time_to_empty_min,time_to_full_min\n[]\n"},
      {"health csv", healthCsv({entry(1, 4080), odd}),
       "date,full_charge_capacity_mAh,design_capacity_mAh,health,cycle_count,serial\n"
       "2026-12-07T12:00:00+00:00,4080,4480,91.07,41,A1\n"
       "2026-12-08T12:00:00+00:00,4080,0,,,\"SN \"\"7\"\", b\"\n"},
      {"health json", healthJson({odd}),
       "[\n{\"date\":\"2026-12-08T12:00:00+00:00\",\"full_charge_capacity_mAh\":4080,"
       "\"design_capacity_mAh\":0,\"health\":null,\"cycle_count\":null,"
       "\"serial\":\"SN \\\"7\\\", b\"}\n]\n"},
      {"sleeps csv", sleepsCsv({night, plugged}),
       "start,end,duration_s,level_before,level_after,energy_lost_Wh,mean_mW,percent_per_hour,"
       "state,external_power,hw_sleep_s,wakeup\n"
       "2026-12-08T05:58:00+00:00,2026-12-08T12:00:00+00:00,21720,60.00,51.00,5.88,975,1.49,"
       "s2idle,false,21000,irq 9\n"
       "2026-12-08T12:00:00+00:00,2026-12-08T12:10:00+00:00,600,51.00,53.00,,,-12.00,,true,,\n"},
      {"sleeps json: absent is null, never 0", sleepsJson({plugged}),
       "[\n{\"start\":\"2026-12-08T12:00:00+00:00\",\"end\":\"2026-12-08T12:10:00+00:00\","
       "\"duration_s\":600,\"level_before\":51.00,\"level_after\":53.00,\"energy_lost_Wh\":null,"
       "\"mean_mW\":null,\"percent_per_hour\":-12.00,\"state\":null,\"external_power\":true,"
       "\"hw_sleep_s\":null,\"wakeup\":null}\n]\n"},
      {"a serial with a control character and a byte that is not UTF-8", healthJson({foreign}),
       "[\n{\"date\":\"2026-12-08T12:00:00+00:00\",\"full_charge_capacity_mAh\":4080,"
       "\"design_capacity_mAh\":4480,\"health\":91.07,\"cycle_count\":41,"
       "\"serial\":\"A\\u0001\ufffd\"}\n]\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, c.expected) << c.name;
}

TEST(HistoryOutput, SinceTakesAPositiveNumberOfMinutesHoursOrDays) {
  const struct {
    const char* text;
    bool good;
    double seconds;
  } cases[] = {{"24h", true, 86400},      {"7d", true, 7 * 86400}, {"1.5h", true, 5400},
               {"30d", true, 30 * 86400}, {"0h", false, 0},        {"-1d", false, 0},
               {"24", false, 0},          {"h", false, 0},         {"1w", false, 0},
               {"1e3h", false, 0},        {"1.2.3d", false, 0},    {" 2h", false, 0},
               {"2H", false, 0},          {"", false, 0},          {"10m", true, 600},
               {"10M", false, 0},         {"0m", false, 0}};
  for (const auto& c : cases) {
    double seconds = -1;
    EXPECT_EQ(parseSince(c.text, seconds), c.good) << c.text;
    if (c.good) {
      EXPECT_DOUBLE_EQ(seconds, c.seconds) << c.text;
    }
  }
}

}  // namespace
