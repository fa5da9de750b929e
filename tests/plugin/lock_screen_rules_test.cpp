#include "plugin/lock_screen_rules.h"

#include <gtest/gtest.h>

namespace brimwell::plugin {
namespace {

ChargingInputs charging(int32_t max, int32_t cur, int32_t amp, int32_t chargeMode = 0) {
  ChargingInputs in;
  in.isCharging = true;
  in.maxCapacity = max;
  in.currentCapacity = cur;
  in.instantAmperage = amp;
  in.chargeMode = chargeMode;
  return in;
}

TEST(ChargingText, EveryRowOfTheRule) {
  const ChargingTextSet& en = chargingTextSetFor({"en"});
  const struct {
    ChargingInputs in;
    const char* text;
  } cases[] = {
      {charging(1500, 600, 1000), "Remaining Time: 1hour(s) 36min(s)"},
      {charging(1500, 100, 700), "Remaining Time: 2hour(s) 34min(s)"},
      {charging(800, 600, 100), "Remaining Time: 1hour(s) 23min(s)"},  // 1.4 narrows below
      {charging(1500, 1199, 1), "Remaining Time: 2hour(s) 0min(s)"},
      {charging(1500, 1200, 1), "Remaining Time:60min(s)"},  // exactly 80 %
      {charging(1500, 1350, 5), "Remaining Time:30min(s)"},
      {charging(1500, 1400, 5), "Remaining Time:19min(s)"},  // 19.999992 in 32-bit
      {charging(1500, 1400, 0), "Calculating..."},
      {charging(1500, 1400, -300), "Calculating..."},
      {charging(0, 0, 500), "Calculating..."},  // NaN
      {charging(1500, 1500, 0, 2), "Trickle Charging..."},
      // Exactly full while current still flows: the moment charging finishes.
      {charging(1500, 1500, 300, 2), "Trickle Charging..."},
      {charging(1500, 1500, 300, 0), "Charging is complete"},
      {charging(1500, 1500, 0, 0), "Charging is complete"},
      {charging(1500, 1600, 900, 1),
       "Charging is complete"},                          // at or above 100 % the current is ignored
      {charging(0, 10, 500, 2), "Trickle Charging..."},  // infinite percentage
  };
  for (const auto& c : cases) {
    EXPECT_EQ(chargingText(c.in, en), c.text)
        << c.in.maxCapacity << " " << c.in.currentCapacity << " " << c.in.instantAmperage;
  }
  EXPECT_EQ(chargingText(charging(1500, 600, 1000), chargingTextSetFor({"zh-Hans"})),
            "\u9884\u8ba1\u5145\u7535: 1\u5c0f\u65f6 36\u5206\u949f");
}

TEST(ChargingText, NotCharging) {
  const ChargingTextSet& en = chargingTextSetFor({"en"});
  const struct {
    bool connected, capable;
    int32_t chargeMode;
    const char* text;
  } cases[] = {
      {true, true, 2, "Charging is complete"},   {true, false, 2, "Not charging"},
      {false, false, 2, "Charging is complete"}, {false, true, 2, "Charging is complete"},
      {true, true, 0, "Not charging"},           {false, false, 1, "Not charging"},
      {true, true, 3, "Not charging"},
  };
  for (const auto& c : cases) {
    ChargingInputs in = charging(1500, 600, 1000, c.chargeMode);
    in.isCharging = false;
    in.externalConnected = c.connected;
    in.externalChargeCapable = c.capable;
    EXPECT_EQ(chargingText(in, en), c.text) << c.connected << c.capable << c.chargeMode;
  }
  // Before any status change everything is zero: the not-charging text, or complete in mode 2.
  EXPECT_EQ(chargingText(ChargingInputs{}, en), "Not charging");
}

TEST(LockScreenTextColor, OnlyTwoIsBlack) {
  for (int32_t value : {0, 1, 3, -2, 200})
    EXPECT_EQ(lockScreenTextColor(value), UIColor::whiteColor());
  EXPECT_EQ(lockScreenTextColor(2), UIColor::blackColor());
}

TEST(ContainerCenter, PhoneAndPad) {
  const struct {
    CGSize screen;
    bool pad;
    long orientation;
    std::optional<std::pair<double, double>> center;
  } cases[] = {
      {{320, 568}, false, 1, {{160, 155}}},
      {{375, 667}, false, 3, {{187.5, 181.640625}}},
      {{414, 736}, false, 0, {{207, 200.53125}}},
      {{0, 0}, false, 1, {{0, 155}}},
      {{768, 1024}, true, 1, {{384, 220}}},
      {{768, 1024}, true, 2, {{384, 220}}},
      {{768, 1024}, true, 3, {{512, 205}}},
      {{768, 1024}, true, 4, {{512, 205}}},
      {{768, 1024}, true, 0, std::nullopt},
      {{768, 1024}, true, 5, std::nullopt},
      {{0, 0}, true, 3, {{0, 205}}},
  };
  for (const auto& c : cases) {
    const auto center = containerCenter(c.screen, c.pad, c.orientation);
    ASSERT_EQ(center.has_value(), c.center.has_value()) << c.screen.width << " " << c.orientation;
    if (center) {
      EXPECT_EQ(center->x, c.center->first);
      EXPECT_EQ(center->y, c.center->second);
    }
  }
}

}  // namespace
}  // namespace brimwell::plugin
