#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/ns_dictionary.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "viewer/table/bid_battery_info.h"

namespace {

BIDBatteryInfo readingOf(const std::string& body) {
  BIDBatteryInfo info;
  fillBatteryInfo(info, NSDictionary(brimwell::Plist::fromMemory(testing_support::plistXml(body))));
  return info;
}

std::string integer(const char* key, long value) {
  return std::string("<key>") + key + "</key><integer>" + std::to_string(value) + "</integer>";
}

TEST(BatteryInfo, LevelAndHealthInSinglePrecision) {
  const struct {
    long current, max, design;
    float level;
    const char* levelMsg;
    const char* healthMsg;
  } cases[] = {
      {1750, 2000, 2000, 87.5f, "87.50%", "100.00%"},
      {2000, 1800, 1800, 100.0f, "100.00%", "100.00%"},  // 111.11 capped
      {750, 1500, 1810, 50.0f, "50.00%", "82.87%"},
      {750, 1500, 1400, 50.0f, "50.00%", "107.14%"},  // health is not capped
      {10, 0, 0, 100.0f, "100.00%", "nan%"},          // infinite level capped
      {0, 1500, 0, 0.0f, "0.00%", "inf%"},
      {-100, 1000, 1000, -10.0f, "-10.00%", "100.00%"},  // no lower bound
  };
  for (const auto& c : cases) {
    const BIDBatteryInfo info =
        readingOf(integer("AppleRawCurrentCapacity", c.current) +
                  integer("AppleRawMaxCapacity", c.max) + integer("DesignCapacity", c.design));
    EXPECT_EQ(info.currentLevel, c.level) << c.current << "/" << c.max;
    EXPECT_EQ(info.levelMsg, c.levelMsg) << c.current << "/" << c.max;
    EXPECT_EQ(info.healthMsg, c.healthMsg) << c.max << "/" << c.design;
  }
  EXPECT_FLOAT_EQ(readingOf(integer("AppleRawMaxCapacity", 1500) + integer("DesignCapacity", 1810))
                      .batteryHealth,
                  82.87293f);
}

TEST(BatteryInfo, TemperatureDropsTheHundredthsTowardZero) {
  const struct {
    long raw;
    float degrees;
    const char* text;
  } cases[] = {{3056, 30.0f, "30.00\u2103"}, {-250, -2.0f, "-2.00\u2103"},
               {99, 0.0f, "0.00\u2103"},     {-50, 0.0f, "0.00\u2103"},
               {3599, 35.0f, "35.00\u2103"}, {3100, 31.0f, "31.00\u2103"}};
  for (const auto& c : cases) {
    const BIDBatteryInfo info = readingOf(integer("Temperature", c.raw));
    EXPECT_EQ(info.batteryTemperature, c.degrees) << c.raw;
    EXPECT_EQ(info.batteryTempMsg, c.text) << c.raw;
  }
}

TEST(BatteryInfo, TextsAndFlags) {
  const BIDBatteryInfo info = readingOf(
      integer("InstantAmperage", -523) + integer("Amperage", 1000) + integer("Voltage", 4120) +
      integer("CycleCount", 87) + integer("AppleRawCurrentCapacity", 1810) +
      "<key>Serial</key><string>C01234567890ABC</string>"
      "<key>ExternalConnected</key><true/><key>IsCharging</key><string>YES</string>"
      "<key>FullyCharged</key><integer>0</integer><key>Unread</key><array/>");
  EXPECT_EQ(info.instanceCurrent, -523);
  EXPECT_EQ(info.currentMsg, "-523 mA");
  EXPECT_EQ(info.chargingCurrentMsg, "1000 mA");
  EXPECT_EQ(info.voltageMsg, "4120 mV");
  EXPECT_EQ(info.cycleMsg, "87");
  EXPECT_EQ(info.currentCapacityMsg, "1810 mAh");
  EXPECT_EQ(info.maxMsg, "0 mAh");
  EXPECT_EQ(info.manufacturerMsg, "(null)");
  EXPECT_EQ(info.serialNumberMsg, "C01234567890ABC");
  EXPECT_TRUE(info.chargerIsPluggedIn);
  EXPECT_TRUE(info.charging);
  EXPECT_FALSE(info.isFullyCharged);
}

TEST(BatteryInfo, NoFileGivesTheZeroValues) {
  testing_support::TempDir root;
  testing_support::ScopedEnvironment env;
  env.set("SIM_DEVICE_ROOT", root.path());
  BIDBatteryInfo info;
  info.getBatteryInfo();
  EXPECT_TRUE(std::isnan(info.currentLevel));
  EXPECT_EQ(info.levelMsg, "nan%");
  EXPECT_EQ(info.healthMsg, "nan%");
  EXPECT_EQ(info.batteryTempMsg, "0.00\u2103");
  EXPECT_EQ(info.currentMsg, "0 mA");
  EXPECT_EQ(info.chargingCurrentMsg, "0 mA");
  EXPECT_EQ(info.cycleMsg, "0");
  EXPECT_EQ(info.designMsg, "0 mAh");
  EXPECT_EQ(info.voltageMsg, "0 mV");
  EXPECT_EQ(info.manufacturerMsg, "(null)");
  EXPECT_FALSE(info.chargerIsPluggedIn || info.charging || info.isFullyCharged);

  // Reading again on the same instance overwrites everything from the new file.
  root.write("/tmp/batteryStatus.plist",
             testing_support::plistXml(integer("AppleRawCurrentCapacity", 1750) +
                                       integer("AppleRawMaxCapacity", 2000)));
  info.getBatteryInfo();
  EXPECT_EQ(info.levelMsg, "87.50%");
}

}  // namespace

namespace {

// The host's figures as a hand-written or foreign file may hold them: only what the host could
// have written is taken.
TEST(BatteryInfo, TheHostsFiguresOnlyWithinWhatTheHostWrites) {
  const std::string laptop = "<key>ChargingState</key><string>discharging</string>";
  const struct {
    const char* name;
    std::string body;
    std::string state;
    std::optional<int32_t> percent, toEmpty, toFull = std::nullopt, limit = std::nullopt;
    std::optional<std::string> word = std::nullopt;
  } cases[] = {
      {"as the host writes them",
       laptop + integer("CurrentCapacity", 62) + integer("AvgTimeToEmpty", 180), "discharging", 62,
       180},
      {"a state word of its own", "<key>ChargingState</key><string>bogus</string>", "unknown",
       std::nullopt, std::nullopt},
      {"past 240 hours: not known", laptop + integer("AvgTimeToEmpty", 99999999), "discharging",
       std::nullopt, 65535},
      {"below zero: not known", laptop + integer("AvgTimeToEmpty", -5), "discharging", std::nullopt,
       65535},
      {"text where numbers go",
       laptop + "<key>CurrentCapacity</key><string>inf</string>"
                "<key>AvgTimeToEmpty</key><string>NaN</string>",
       "discharging", std::nullopt, 65535},
      {"a percentage above 100", laptop + integer("CurrentCapacity", 250), "discharging",
       std::nullopt, std::nullopt},
      {"at the edges",
       laptop + integer("CurrentCapacity", 0) + integer("AvgTimeToEmpty", 0) +
           integer("AvgTimeToFull", 1200) + integer("ChargeLimit", 100),
       "discharging", 0, 0, 1200, 100},
      {"just past them", laptop + integer("AvgTimeToFull", 1201) + integer("ChargeLimit", 101),
       "discharging", std::nullopt, std::nullopt, 65535, std::nullopt},
      {"a level only in a word", laptop + "<key>BatteryLevelWord</key><string>Low</string>",
       "discharging", std::nullopt, std::nullopt, std::nullopt, std::nullopt, "Low"},
      {"a word of its own", laptop + "<key>BatteryLevelWord</key><string>Weird</string>",
       "discharging", std::nullopt, std::nullopt, std::nullopt, std::nullopt, "Unknown"},
      {"a number for a word", laptop + integer("BatteryLevelWord", 4), "discharging", std::nullopt,
       std::nullopt, std::nullopt, std::nullopt, "Unknown"},
  };
  for (const auto& c : cases) {
    const BIDBatteryInfo info = readingOf(c.body);
    ASSERT_TRUE(info.laptop) << c.name;
    EXPECT_EQ(info.laptop->levelWord, c.word) << c.name;
    EXPECT_EQ(holdsAStatus(info), c.word.has_value()) << c.name << ": no capacity, yet a status";
    EXPECT_EQ(info.laptop->state, c.state) << c.name;
    EXPECT_EQ(info.laptop->percent, c.percent) << c.name;
    EXPECT_EQ(info.laptop->minutesToEmpty, c.toEmpty) << c.name;
    EXPECT_EQ(info.laptop->minutesToFull, c.toFull) << c.name;
    EXPECT_EQ(info.laptop->chargeLimit, c.limit) << c.name;
  }
  EXPECT_FALSE(readingOf(integer("AvgTimeToEmpty", 180)).laptop) << "a phone's status";
}

}  // namespace
