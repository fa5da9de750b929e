#include "host/sleep/sleep_drain.h"

#include <gtest/gtest.h>

namespace host::sleep {
namespace {

constexpr double kNight = 1796083200;  // 2026-12-01 00:00 UTC

SleepEnd at(double time, double level, std::optional<double> wh, bool charger = false) {
  return {time, level, wh, charger};
}

// A sleep's figures, its line and its notice: 9 % and 5.88 Wh in 6 h 2 m at 1.5 % an hour.
TEST(SleepDrain, FiguresLineAndNotice) {
  const double night = 6 * 3600 + 120;
  const KernelSleep s2idle{"s2idle", 21000, "irq 9"};
  const struct {
    const char* name;
    SleepEnd before, after;
    double alert;
    std::string line;
    std::optional<std::string> notice;
  } cases[] = {
      {"a night at 1.49 %/h", at(kNight, 60, 30), at(kNight + night, 51, 24.12), 1.0,
       "sleep lost 9% in 6 h 2 m (1.49 %/h, 975 mW, s2idle)",
       "Lost 9 % in 6 h asleep (1.5 % an hour, 975 mW)"},
      {"at the threshold: not above it", at(kNight, 60, 30), at(kNight + 7200, 57, 28.5), 1.5,
       "sleep lost 3% in 2 h 0 m (1.50 %/h, 750 mW, s2idle)", std::nullopt},
      {"the threshold is not exceeded", at(kNight, 60, 30), at(kNight + night, 51, 24.12), 1.5,
       "sleep lost 9% in 6 h 2 m (1.49 %/h, 975 mW, s2idle)", std::nullopt},
      {"0 turns the notice off", at(kNight, 60, 30), at(kNight + 3600, 50, 25), 0,
       "sleep lost 10% in 1 h 0 m (10.00 %/h, 5000 mW, s2idle)", std::nullopt},
      {"under half an hour: no notice", at(kNight, 60, 30), at(kNight + 1799, 55, 27), 1.5,
       "sleep lost 5% in 30 min (10.01 %/h, 6003 mW, s2idle)", std::nullopt},
      {"half an hour: a notice", at(kNight, 60, std::nullopt), at(kNight + 1800, 55, std::nullopt),
       1.5, "sleep lost 5% in 30 min (10.00 %/h, s2idle)",
       "Lost 5 % in 30 min asleep (10.0 % an hour)"},
      {"an energy at one end only: no power", at(kNight, 60, 30), at(kNight + 3600, 58, {}), 1.5,
       "sleep lost 2% in 1 h 0 m (2.00 %/h, s2idle)", "Lost 2 % in 1 h asleep (2.0 % an hour)"},
      {"on external power: no drain", at(kNight, 60, 30, true), at(kNight + night, 80, 40), 1.5,
       "sleep 6 h 2 m on external power (s2idle)", std::nullopt},
      {"charger gone at the end", at(kNight, 60, 30), at(kNight + night, 50, 25, true), 1.5,
       "sleep 6 h 2 m on external power (s2idle)", std::nullopt},
      {"one step of the driver's percent: no notice", at(kNight, 80, 40),
       at(kNight + 2100, 79, 39.95), 1.5, "sleep lost 1% in 35 min (1.71 %/h, 86 mW, s2idle)",
       std::nullopt},
      {"a failed suspend: no time to tell a rate", at(kNight, 60, 30), at(kNight + 0.4, 59, 29.9),
       1.5, "sleep lost 1% in 0 s (s2idle)", std::nullopt},
      {"under a minute", at(kNight, 60, 30), at(kNight + 59.9, 59, 29.9), 0.1,
       "sleep lost 1% in 59 s (s2idle)", std::nullopt},
      {"a minute", at(kNight, 60, 30), at(kNight + 60, 59, 29.9), 1.5,
       "sleep lost 1% in 1 min (60.00 %/h, 6000 mW, s2idle)", std::nullopt},
      {"the level still, the energy up: gained", at(kNight, 60, 30), at(kNight + 3600, 60, 31), 1.5,
       "sleep gained 0% in 1 h 0 m (0.00 %/h, 1000 mW, s2idle)", std::nullopt},
      {"gained on battery", at(kNight, 60, 30), at(kNight + 3600, 70, 35), 1.5,
       "sleep gained 10% in 1 h 0 m (10.00 %/h, 5000 mW, s2idle)", std::nullopt},
  };
  for (const auto& c : cases) {
    const SleepRecord r = measureSleep(c.before, c.after, s2idle);
    EXPECT_EQ(sleepLine(r), c.line) << c.name;
    EXPECT_EQ(sleepNotice(r, c.alert), c.notice) << c.name;
    EXPECT_EQ(r.hwSleepSeconds, 21000) << c.name;
  }
  const SleepRecord night6 = measureSleep(at(kNight, 60, 30), at(kNight + night, 51, 24.12), {});
  EXPECT_DOUBLE_EQ(*night6.energyLostWh, 30 - 24.12);
  EXPECT_DOUBLE_EQ(*night6.percentPerHour, 9 / (night / 3600));
  EXPECT_EQ(sleepLine(night6), "sleep lost 9% in 6 h 2 m (1.49 %/h, 975 mW)");
  EXPECT_FALSE(measureSleep(at(kNight, 60, 30), at(kNight, 60, 30), {}).meanMilliwatts)
      << "no time asleep, no power";
}

// The kernel's files as they read, and as they may not.
TEST(SleepDrain, TheKernelsWord) {
  EXPECT_EQ(chosenMemSleep("s2idle [deep]\n"), "deep");
  EXPECT_EQ(chosenMemSleep("[s2idle]\n"), "s2idle");
  EXPECT_EQ(chosenMemSleep("s2idle deep\n"), "");
  EXPECT_EQ(chosenMemSleep("] s2idle ["), "");
  EXPECT_EQ(hwSleepSeconds("21000000\n"), 21);
  EXPECT_EQ(hwSleepSeconds("0\n"), 0) << "a sleep the hardware never reached";
  EXPECT_EQ(hwSleepSeconds(""), std::nullopt);
  EXPECT_EQ(hwSleepSeconds("-5"), std::nullopt);
  EXPECT_EQ(hwSleepSeconds("12x"), std::nullopt);
  EXPECT_EQ(hwSleepSeconds("99999999999999999999999"), std::nullopt) << "beyond what it can count";
  EXPECT_EQ(wakeupIrq("9\n"), "irq 9");
  EXPECT_EQ(wakeupIrq("\n"), std::nullopt);
  EXPECT_EQ(suspendCount("12\n"), 12u);
  EXPECT_EQ(suspendCount("-1"), std::nullopt);
  EXPECT_EQ(suspendCount("3x"), std::nullopt);
  EXPECT_EQ(suspendCount("99999999999999999999999"), std::nullopt);
  EXPECT_EQ(suspendCount(""), std::nullopt);
}

// A sleep no suspend counted was a hibernation, and the last suspend's figures are not its own.
TEST(SleepDrain, SuspendOrHibernation) {
  const struct {
    const char* name;
    SuspendCounts before, after;
    const char* state;
    bool figures;  // the hardware's time asleep and the wake-up are this sleep's
  } cases[] = {
      {"counted suspend", {4, 0}, {5, 0}, "deep", true},
      {"no suspend counted", {4, 0}, {4, 0}, "hibernate", false},
      {"a suspend that failed", {4, 1}, {4, 2}, "", false},
      {"count unknown before", {}, {5, 0}, "deep", true},
      {"count unknown after", {4, 0}, {}, "deep", true},
      {"failures unknown", {4, {}}, {4, 2}, "hibernate", false},
  };
  for (const auto& c : cases) {
    const KernelSleep k = kernelSleepFrom("s2idle [deep]", "5000000", "9", c.before, c.after);
    EXPECT_EQ(k.state, c.state) << c.name;
    EXPECT_EQ(k.hwSleepSeconds.has_value(), c.figures) << c.name;
    EXPECT_EQ(k.wakeup.has_value(), c.figures) << c.name;
  }
  EXPECT_EQ(kernelSleepFrom("s2idle [deep]", "5000000", "9", {1, 0}, {2, 0}).hwSleepSeconds, 5);
}

}  // namespace
}  // namespace host::sleep
