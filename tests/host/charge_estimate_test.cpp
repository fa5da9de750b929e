#include "host/estimate/charge_estimate.h"
#include "host/estimate/percent_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace host::estimate {
namespace {

Reading draining(double time, double watts, double energy = 30) {
  Reading r;
  r.time = time;
  r.state = ChargeState::discharging;
  r.powerW = watts;
  r.energyWh = energy;
  r.fullWh = 50;
  r.storeFine = true;
  return r;
}

TEST(SteadyRate, SmoothsStartsAfreshAndDistrusts) {
  // A draw that alternates 6 W and 14 W every half minute settles near 10 W, and the time it
  // gives does not jump between readings.
  SteadyRate noisy;
  std::optional<double> lastMinutes;
  for (int i = 0; i <= 120; ++i) {
    Reading r = draining(30.0 * i, i % 2 ? -14 : -6);
    noisy.add(r);
    const auto minutes = timesFor(r, noisy.watts()).toEmptyMinutes;
    if (i >= 60) {
      ASSERT_TRUE(minutes);
      EXPECT_NEAR(*noisy.watts(), -10, 0.3) << i;
      EXPECT_NEAR(*minutes, *lastMinutes, 0.06 * *lastMinutes) << i;
    }
    lastMinutes = minutes;
  }

  // Read ten times a second from its start, the same draw is near 10 W within seconds, not
  // held for minutes at its first reading.
  SteadyRate fast;
  for (int i = 0; i <= 200; ++i) fast.add(draining(0.1 * i, i % 2 ? -14 : -6));
  ASSERT_TRUE(fast.watts());
  EXPECT_NEAR(*fast.watts(), -10, 0.5);

  const auto packOut = [](Reading r) { return r.packs = "BAT0", r; };
  const struct {
    const char* name;
    std::vector<Reading> readings;
    bool resumedAtLast;
    std::optional<double> watts;
  } cases[] = {
      {"the first reading is distrusted", {draining(0, -10)}, false, std::nullopt},
      {"known 10 s after the start", {draining(0, -10), draining(10, -12)}, false, -12},
      {"a plug-in starts afresh",
       {draining(0, -10), draining(30, -10),
        [] {
          Reading r = draining(60, 20);
          r.state = ChargeState::charging;
          r.externalPower = true;
          return r;
        }()},
       false,
       std::nullopt},
      {"a resume starts afresh", {draining(0, -10), draining(30, -10)}, true, std::nullopt},
      {"0.05 W is no rate", {draining(0, -0.05), draining(30, -0.05)}, false, std::nullopt},
      {"a reading without power keeps the average",
       {draining(0, -10), draining(30, -10),
        [] {
          Reading r = draining(60, 0);
          r.powerW.reset();
          return r;
        }()},
       false,
       -10},
      {"400 W is no rate", {draining(0, -400), draining(30, -400)}, false, std::nullopt},
      {"a pack taken out starts afresh",
       {draining(0, -10, 40), draining(30, -10, 40), packOut(draining(60, -10, 30))},
       false,
       std::nullopt},
      {"a step no power read supports is no draw",
       {draining(0, -10, 40), draining(30, -10, 40), draining(60, -10, 37)},
       false,
       -10},
      {"after a fresh start, only what the energy did since",
       {draining(0, -10, 40), draining(30, -10, 40), packOut(draining(60, -10, 39.5)),
        packOut(draining(90, -10, 39.5))},
       false,
       -10},
      {"energy gone at twice the power read is a draw",
       {draining(0, -10, 40), draining(45, -10, 40), draining(90, -10, 39.5)},
       false,
       -15},
      {"the strongest power read meanwhile counts",
       {draining(0, -4, 40), draining(30, -10, 40), draining(60, -4, 39.75)},
       false,
       -12.5},
      {"300 W is a rate", {draining(0, -300), draining(30, -300)}, false, -300},
      {"0.1 W is a rate", {draining(0, -0.1), draining(30, -0.1)}, false, -0.1},
      {"ten minutes on, the newer reading weighs 1 - e^(-600/240)",
       {draining(0, -10), draining(10, -10), draining(610, -20)},
       false,
       -10 + (1 - std::exp(-600.0 / 240)) * -10},
      {"0 W is no reading", {draining(0, -10), draining(30, -10), draining(60, 0)}, false, -10},
  };
  for (const auto& c : cases) {
    SteadyRate rate;
    for (size_t i = 0; i < c.readings.size(); ++i)
      rate.add(c.readings[i], c.resumedAtLast && i + 1 == c.readings.size());
    EXPECT_EQ(rate.watts(), c.watts) << c.name;
  }
}

// Without power: the slope over two minutes and no less, of a store in whole percents between
// its steps (here every 3 min, each halfway between the readings around it), never more than
// one more step unseen since its last allows.
TEST(SteadyRate, WithoutPowerTheSlopeOfTheEnergy) {
  const auto fell = [](double t) { return 30 - (20 * std::min(t, 120.0) + 10 * t) / 3600; };
  const auto whole = [](double t) { return 0.5 * std::ceil(60 - std::min(t, 1080.0) / 180); };
  const struct {
    const char* name;
    std::function<double(double)> energy;
    bool fine;
    double every, until;
    std::optional<double> watts;
  } cases[] = {
      {"under two minutes", fell, true, 10, 110, std::nullopt},
      {"20 W, then 10 W: the last two minutes", fell, true, 30, 240, -10},
      {"whole percents", whole, false, 30, 1080, -10},
      {"whole percents that stopped", whole, false, 30, 2400, -3600.0 / 1515},
  };
  for (const auto& c : cases) {
    SteadyRate rate;
    for (double t = 0; t <= c.until; t += c.every) {
      Reading r = draining(t, 0, c.energy(t));
      r.powerW.reset();
      r.storeFine = c.fine;
      rate.add(r);
    }
    EXPECT_NEAR(rate.watts().value_or(0), c.watts.value_or(0), 1e-9) << c.name;
  }
}

// A draw that swings between 6 and 14 W is caught at 14 W at each reading; the energy that went
// since it last moved says 10 W. A driver that never updates the energy, or gives only a whole
// percent, leaves the present power; one that updates it each minute, read every half minute,
// says 10 W all the same.
TEST(SteadyRate, ReadMinutesApartTheEnergyThatWentIsThePower) {
  const auto falling = [](double t) { return 30 - 10 * t / 3600; };
  const struct {
    const char* name;
    std::function<double(double)> energy;
    double every;
    bool fine;
    double watts;
  } cases[] = {
      {"read every six minutes", falling, 360, true, -10},
      {"the energy never updated", [](double) { return 30.0; }, 360, true, -14},
      {"an energy worked out from a whole percent", falling, 360, false, -14},
      {"read every ten seconds: the present power", falling, 10, true, -14},
      {"updated each minute, read each half minute",
       [&](double t) { return falling(60 * std::floor(t / 60)); }, 30, true, -10},
  };
  for (const auto& c : cases) {
    SteadyRate rate;
    for (double t = 0; t <= 1800; t += c.every) {
      Reading r = draining(t, -14, c.energy(t));
      r.storeFine = c.fine;
      rate.add(r);
    }
    ASSERT_TRUE(rate.watts()) << c.name;
    EXPECT_NEAR(*rate.watts(), c.watts, 0.3) << c.name;
  }
}

TEST(ChargeEstimate, Times) {
  auto charging = [](double energy, std::optional<double> limit) {
    Reading r;
    r.state = ChargeState::charging;
    r.externalPower = true;
    r.energyWh = energy;
    r.fullWh = 50;
    r.limitPercent = limit;
    return r;
  };
  Reading held = charging(40, 80);
  held.state = ChargeState::full;
  const struct {
    const char* name;
    Reading reading;
    std::optional<double> watts;
    std::optional<double> toEmpty, toFull;
  } cases[] = {
      {"30 Wh at 10 W", draining(0, -10), -10, 180, std::nullopt},
      {"10 Wh to an 80 % limit at 20 W", charging(30, 80), 20, std::nullopt, 30},
      {"no limit: to 100 %", charging(30, std::nullopt), 20, std::nullopt, 60},
      {"held at the limit", held, std::nullopt, std::nullopt, 0},
      {"past the limit while charging", charging(41, 80), 20, std::nullopt, 0},
      {"300 h to empty is none", draining(0, -0.2, 60), -0.2, std::nullopt, std::nullopt},
      {"40 h to full is none", charging(30, std::nullopt), 0.5, std::nullopt, std::nullopt},
      {"no rate, no time", draining(0, -10), std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const Times t = timesFor(c.reading, c.watts);
    EXPECT_EQ(t.toEmptyMinutes, c.toEmpty) << c.name;
    EXPECT_EQ(t.toFullMinutes, c.toFull) << c.name;
  }
}

TEST(ChargeEstimate, NextLookWhenTheLevelShownTurns) {
  Reading full = draining(0, 0);
  full.state = ChargeState::full;
  Reading coarse = draining(0, -10, 31);
  coarse.storeFine = false;
  Reading charging = draining(0, 10, 30.6);
  charging.state = ChargeState::charging;
  Reading noFull = draining(0, -10), small = draining(0, -0.1, 0.307);
  noFull.fullWh = 0;
  small.fullWh = 1;
  const auto shown = [](Reading r, double percent) { return r.driverPercent = percent, r; };
  constexpr auto cuts = PercentSteps::cuts, rounds = PercentSteps::rounds;
  const struct {
    const char* name;
    Reading reading;
    std::optional<double> watts;
    double seconds;
    PercentSteps steps = PercentSteps::unknown;
  } cases[] = {
      {"0.8 of a half percent to go at 10 W of 50 Wh", draining(0, -10, 30.7), -10, 72},
      {"a fine level on a whole percent turns next", draining(0, -10, 31), -10, 30},
      {"whole percents: half a percent on", coarse, -10, 90},
      {"charging: 0.6 of a half percent to go", charging, 10, 54},
      {"fast: never sooner than 30 s", draining(0, -100, 30.7), -100, 30},
      {"slow: never later than 10 min", draining(0, -1, 30.7), -1, 600},
      {"no rate yet: soon", draining(0, -10), std::nullopt, 30},
      {"no full charge: soon", noFull, -10, 30},
      {"1 Wh at 0.1 W: 0.4 of a half percent", small, -0.1, 72},
      {"charging at 0.1 W: 0.6 of a half", small, 0.1, 108},
      {"full: until the charger goes", full, std::nullopt, 600},
      {"cut: 61.4 % turns at 61, 5 s on", shown(draining(0, -10, 30.7), 61), -10, 77, cuts},
      {"cut, charging: 61.2 % at 62", shown(charging, 61), 10, 149, cuts},
      {"cut, whole percents: one on", shown(coarse, 62), -10, 185, cuts},
      {"rounded: 61.4 % at 60.5", shown(draining(0, -10, 30.7), 61), -10, 167, rounds},
      {"rounded, charging: 61.2 % at 61.5", shown(charging, 61), 10, 59, rounds},
      {"our own level, shown rounded: halves", draining(0, -10, 30.7), -10, 72, cuts},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(secondsUntilNextLook(c.reading, c.watts, true, c.steps), c.seconds, 1e-6) << c.name;
  }
}

// Readings of one battery: its energy (of 50 Wh), its driver's percent, its packs, its state.
TEST(PercentSteps, LearnedFromTheDriversPercent) {
  struct Look {
    double wh;
    std::optional<double> percent;
    const char* packs = "A";
    ChargeState state = ChargeState::discharging;
  };
  const Look cut{30.37, 60}, cut2{30.35, 60}, rounded{30.37, 61},
      full{30.37, 60, "A", ChargeState::full};
  constexpr auto unknown = PercentSteps::unknown;
  const struct {
    const char* name;
    std::vector<Look> looks;
    PercentSteps steps;
  } cases[] = {
      {"cut: 60.74 and 60.7 % read 60", {cut, cut2}, PercentSteps::cuts},
      {"rounded, charging too",
       {rounded, {30.35, 61, "A", ChargeState::charging}},
       PercentSteps::rounds},
      {"one reading is not enough", {cut}, unknown},
      {"before the middle both ways agree", {{30.1, 60}, {30.14, 60}}, unknown},
      {"near a turn, a lagging percent says nothing",
       {cut, cut2, {30.46, 59}, {30.27, 59}, {30.04, 59}},
       PercentSteps::cuts},
      {"cut and rounded: contradictory", {cut, cut2, rounded}, unknown},
      {"rounded and cut: contradictory", {cut, rounded, {30.35, 61}}, unknown},
      {"a percent neither way explains", {cut, cut2, {30.1, 61}}, unknown},
      {"none from the driver, or full", {{30.37, {}}, {30.35, {}}, full, full}, unknown},
      {"packs changed: learned afresh",
       {cut, cut2, {30.1, 61}, {30.37, 61, "B"}, {30.35, 61, "B"}},
       PercentSteps::rounds},
  };
  for (const auto& c : cases) {
    PercentStepsLearner learner;
    for (const Look& l : c.looks) {
      Reading r = draining(0, -10, l.wh);
      r.driverPercent = l.percent, r.packs = l.packs, r.state = l.state;
      learner.add(r);
    }
    EXPECT_EQ(learner.steps(), c.steps) << c.name;
  }
}

}  // namespace
}  // namespace host::estimate
