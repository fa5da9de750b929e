#include "host/sources/simulated_battery.h"

#include <gtest/gtest.h>

#include "common/status_keys.h"
#include "common/value_conversions.h"
#include "host/sources/battery_source.h"

namespace host {
namespace {

using Battery = SimulatedBattery;

TEST(SimulatedBattery, ChargesAtConstantCurrentThenTapersToFullAndStops) {
  Battery battery(10, true);
  double lastCharge = battery.charge();
  double lastTaperCurrent = Battery::kChargeCurrent;
  double lastVoltage = battery.voltage();
  bool sawTaper = false;
  int minutes = 0;
  while (!battery.fullyCharged() && minutes < 24 * 60) {
    battery.advance(60);
    ++minutes;
    EXPECT_GE(battery.charge(), lastCharge) << "charge never falls on the charger";
    EXPECT_GE(battery.voltage(), lastVoltage - 1e-9) << "voltage follows the charge";
    if (battery.fullyCharged()) break;
    if (battery.percent() < 79.9) {
      EXPECT_EQ(battery.current(), Battery::kChargeCurrent) << battery.percent();
    } else if (battery.percent() > 80.1) {
      sawTaper = true;
      EXPECT_LT(battery.current(), Battery::kChargeCurrent);
      EXPECT_LE(battery.current(), lastTaperCurrent);
      lastTaperCurrent = battery.current();
    }
    EXPECT_TRUE(battery.isCharging());
    lastCharge = battery.charge();
    lastVoltage = battery.voltage();
  }
  EXPECT_TRUE(sawTaper);
  ASSERT_TRUE(battery.fullyCharged()) << "still charging after a day";
  // 10 % to 80 % at 1 A is 72 minutes; the taper adds about an hour.
  EXPECT_GT(minutes, 110);
  EXPECT_LT(minutes, 200);
  EXPECT_EQ(battery.charge(), Battery::kFullCapacity);
  battery.advance(3600);
  EXPECT_FALSE(battery.isCharging());
  EXPECT_EQ(battery.current(), 0);
  EXPECT_EQ(battery.charge(), Battery::kFullCapacity) << "full stays full on the charger";
}

TEST(SimulatedBattery, DrainsOffTheChargerWithAVaryingCurrent) {
  Battery battery(60, false, 7);
  double lastCharge = battery.charge();
  double lowest = 1e9, highest = -1e9;
  for (int i = 0; i < 200; ++i) {  // 100 minutes: well short of empty
    battery.advance(30);
    EXPECT_LT(battery.charge(), lastCharge);
    EXPECT_LT(battery.current(), 0);
    lowest = std::min(lowest, battery.current());
    highest = std::max(highest, battery.current());
    lastCharge = battery.charge();
  }
  EXPECT_GE(lowest, -700);
  EXPECT_LE(highest, -80);
  EXPECT_GT(highest - lowest, 20) << "the draw varies";
  EXPECT_FALSE(battery.isCharging());

  battery.setChargerConnected(true);
  battery.advance(60);
  EXPECT_TRUE(battery.isCharging());
  EXPECT_GT(battery.current(), 0);
}

TEST(SimulatedBattery, EmptyBatteryStopsDraining) {
  Battery battery(1, false);
  battery.advance(4 * 3600);
  EXPECT_EQ(battery.charge(), 0);
  EXPECT_EQ(battery.current(), 0);
}

TEST(SimulatedBattery, StatusDictionaryHasTheHostsKeys) {
  Battery battery(50, true);
  battery.advance(600);
  const brimwell::Plist d = battery.statusDictionary();
  namespace key = brimwell::key;
  EXPECT_EQ(brimwell::intValueOf(d.item(key::kRawMaxCapacity)), 1715);
  EXPECT_EQ(brimwell::intValueOf(d.item(key::kDesignCapacity)), 1810);
  EXPECT_EQ(brimwell::intValueOf(d.item(key::kCycleCount)), 212);
  EXPECT_EQ(brimwell::intValueOf(d.item(key::kInstantAmperage)), 1000);
  EXPECT_TRUE(brimwell::boolValueOf(d.item(key::kIsCharging)));
  EXPECT_TRUE(brimwell::boolValueOf(d.item(key::kExternalConnected)));
  const int32_t temperature = brimwell::intValueOf(d.item(key::kTemperature));
  EXPECT_GT(temperature, 2500);
  EXPECT_LT(temperature, 3500);
  const int32_t voltage = brimwell::intValueOf(d.item(key::kVoltage));
  EXPECT_GT(voltage, 3800);
  EXPECT_LT(voltage, 4400);
  EXPECT_EQ(brimwell::textOf(d.item(key::kManufacturer)), "A");
  ASSERT_NE(d.item("AdapterDetails"), nullptr);
  EXPECT_TRUE(d.item("AdapterDetails")->isDictionary());
}

TEST(ChangedNoticeably, FlagsOrValuesBeyondTheirNoise) {
  auto status = [](int64_t capacity, int64_t current, int64_t temperature, int64_t voltage,
                   bool charging) {
    brimwell::Plist d = brimwell::Plist::newDictionary();
    d.setItem("AppleRawCurrentCapacity", brimwell::Plist::integer(capacity));
    d.setItem("InstantAmperage", brimwell::Plist::integer(current));
    d.setItem("Temperature", brimwell::Plist::integer(temperature));
    d.setItem("Voltage", brimwell::Plist::integer(voltage));
    d.setItem("IsCharging", brimwell::Plist::boolean(charging));
    return d;
  };
  const brimwell::Plist base = status(1000, 500, 3000, 4000, true);
  const struct {
    brimwell::Plist now;
    bool changed;
  } cases[] = {
      {status(1000, 500, 3000, 4000, true), false}, {status(1000, 509, 3009, 4004, true), false},
      {status(1001, 500, 3000, 4000, true), true},  {status(1000, 490, 3000, 4000, true), true},
      {status(1000, 500, 3010, 4000, true), true},  {status(1000, 500, 3000, 3995, true), true},
      {status(1000, 500, 3000, 4000, false), true},
  };
  for (const auto& c : cases) EXPECT_EQ(changedNoticeably(base, c.now), c.changed);
  EXPECT_TRUE(changedNoticeably(brimwell::Plist(), base)) << "the first one always counts";
}

TEST(SimulatedSource, NeverMoreThanFourStatusChangesASecond) {
  SimulatedSource source(20, true, 60, 1);
  int delivered = 0;
  double sinceLast = 1e9, shortest = 1e9;
  for (int i = 0; i < 1000; ++i) {  // 100 real seconds in 0.1 s ticks
    sinceLast += 0.1;
    if (source.tick(0.1)) {
      ++delivered;
      shortest = std::min(shortest, sinceLast);
      sinceLast = 0;
    }
  }
  EXPECT_GE(shortest, SimulatedSource::kMinimumInterval - 1e-9);
  EXPECT_LE(delivered, 400);
  EXPECT_GT(delivered, 100) << "a charging battery changes all the time";
}

}  // namespace
}  // namespace host
