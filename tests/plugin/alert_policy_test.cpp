#include "plugin/alert_policy.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace brimwell::plugin {
namespace {

using C = AlertCall;

std::vector<AlertCall> callsOf(const AlertPlan& plan) {
  return std::vector<AlertCall>(plan.calls.begin(), plan.calls.begin() + plan.count);
}

TEST(ChargePercent, SinglePrecisionTruncatedAndSaturated) {
  const struct {
    int32_t current, max, percent;
  } cases[] = {
      {530, 1000, 52},    {531, 1000, 53},   {800, 1000, 80},
      {1000, 1000, 100},  {1, 0, INT32_MAX}, {0, 0, 0},
      {-1, 0, INT32_MIN}, {-500, 1000, -50}, {INT32_MAX, 1, INT32_MAX},
  };
  for (const auto& c : cases)
    EXPECT_EQ(chargePercent(c.current, c.max), c.percent) << c.current << "/" << c.max;
}

TEST(ChargingComplete, ByChargeMode) {
  const ChargeState equalNotFull{1000, 1000, false}, fullUnequal{990, 1000, true};
  const struct {
    int32_t mode;
    bool equalNotFullCounts, fullUnequalCounts;
  } cases[] = {
      {0, true, false}, {1, true, false}, {2, false, true}, {3, false, false}, {-1, false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(chargingComplete(c.mode, equalNotFull), c.equalNotFullCounts) << c.mode;
    EXPECT_EQ(chargingComplete(c.mode, fullUnequal), c.fullUnequalCounts) << c.mode;
  }
}

TEST(AlertPolicy, LevelAlertDecisionTable) {
  const struct {
    int32_t alertLevel;
    int32_t current;
    bool flagBefore;
    std::vector<AlertCall> calls;
    bool flagAfter;
  } cases[] = {
      {0, 1000, false, {}, false},
      {100, 1000, false, {}, false},
      {100, 1000, true, {}, true},
      {53, 530, false, {}, false},  // 52 %
      {53, 531, false, {C::popDIYLevelAlertView, C::playVibrate}, true},
      {80, 800, false, {C::popDIYLevelAlertView, C::playVibrate}, true},  // equality counts
      {80, 900, true, {}, true},
      {-5, 0, false, {C::popDIYLevelAlertView, C::playVibrate}, true},
  };
  for (const auto& c : cases) {
    AlertSettings settings;
    settings.alertLevel = c.alertLevel;
    settings.isVibrate = true;
    settings.chargeMode = 3;  // no completion alert in this table
    const AlertPlan plan = planAlerts({c.current, 1000, false}, settings, {false, c.flagBefore});
    EXPECT_EQ(callsOf(plan), c.calls) << c.alertLevel << " " << c.current;
    EXPECT_EQ(plan.flags.alertLevelFlag, c.flagAfter) << c.alertLevel << " " << c.current;
    EXPECT_FALSE(plan.flags.repeatFlag);
  }
}

TEST(AlertPolicy, CompletionAlertDecisionTable) {
  const struct {
    bool isRepeat, isPopAlert, flagBefore;
    std::vector<AlertCall> calls;
    bool flagAfter;
  } cases[] = {
      {false, true, false, {C::popAlertView, C::playVibrate, C::playSound}, true},
      {false, false, false, {C::playVibrate, C::playSound}, true},
      {false, true, true, {}, true},
      {false, false, true, {}, true},
      {true, true, false, {C::popAlertView, C::playVibrate, C::playSound}, true},
      {true, true, true, {C::playVibrate, C::playSound}, true},
      {true, false, false, {C::playVibrate, C::playSound}, false},
      {true, false, true, {C::playVibrate, C::playSound}, true},
  };
  for (const auto& c : cases) {
    AlertSettings settings;
    settings.isRepeat = c.isRepeat;
    settings.isPopAlert = c.isPopAlert;
    settings.isVibrate = settings.isSound = true;
    const AlertPlan plan = planAlerts({1000, 1000, false}, settings, {c.flagBefore, false});
    EXPECT_EQ(callsOf(plan), c.calls) << c.isRepeat << c.isPopAlert << c.flagBefore;
    EXPECT_EQ(plan.flags.repeatFlag, c.flagAfter) << c.isRepeat << c.isPopAlert << c.flagBefore;
  }
}

TEST(AlertPolicy, NothingSwitchedOnStillSpendsTheCompletionAlert) {
  const AlertPlan plan = planAlerts({1000, 1000, false}, AlertSettings{}, AlertFlags{});
  EXPECT_EQ(plan.count, 0u);
  EXPECT_TRUE(plan.flags.repeatFlag);
}

TEST(AlertPolicy, LevelAlertComesBeforeTheCompletionAlert) {
  AlertSettings settings;
  settings.alertLevel = 90;
  settings.isPopAlert = settings.isVibrate = settings.isSound = true;
  const AlertPlan plan = planAlerts({1000, 1000, false}, settings, AlertFlags{});
  EXPECT_EQ(callsOf(plan),
            (std::vector<AlertCall>{C::popDIYLevelAlertView, C::playVibrate, C::playSound,
                                    C::popAlertView, C::playVibrate, C::playSound}));
  EXPECT_EQ(plan.flags, (AlertFlags{true, true}));
}

}  // namespace
}  // namespace brimwell::plugin
