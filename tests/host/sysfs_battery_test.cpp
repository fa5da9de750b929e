#include "host/sources/sysfs_battery.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "charge/kept_limits.h"

#include "common/value_conversions.h"
#include "host/sources/sysfs_source.h"
#include "tests/support/power_supply_fixture.h"

namespace host {
namespace {

using namespace testing_support;

std::optional<int32_t> intOf(const brimwell::Plist& d, const char* key) {
  if (!d.item(key)) return std::nullopt;
  return brimwell::intValueOf(d.item(key));
}
std::optional<bool> boolOf(const brimwell::Plist& d, const char* key) {
  if (!d.item(key)) return std::nullopt;
  return brimwell::boolValueOf(d.item(key));
}

brimwell::Plist statusOf(const TempDir& dir) {
  auto status = statusFromPowerSupplies(readPowerSupplies(dir.path() + "/ps"));
  EXPECT_TRUE(status.has_value());
  return status ? std::move(*status) : brimwell::Plist();
}

TEST(SysfsBattery, ChargeBasedLaptopOnBattery) {
  TempDir dir;
  writeSupply(dir, "ps", "AC", mainsAdapter(false));
  writeSupply(dir, "ps", "BAT0", chargeBasedBattery());
  const brimwell::Plist d = statusOf(dir);
  EXPECT_EQ(intOf(d, "AppleRawCurrentCapacity"), 3402);
  EXPECT_EQ(intOf(d, "AppleRawMaxCapacity"), 4080);
  EXPECT_EQ(intOf(d, "DesignCapacity"), 4400);
  EXPECT_EQ(intOf(d, "InstantAmperage"), -1210) << "positive current_now, discharging";
  EXPECT_EQ(intOf(d, "Amperage"), -1210);
  EXPECT_EQ(intOf(d, "Voltage"), 11913);
  EXPECT_EQ(intOf(d, "Temperature"), 3010);
  EXPECT_EQ(intOf(d, "CycleCount"), 87);
  EXPECT_EQ(boolOf(d, "IsCharging"), false);
  EXPECT_EQ(boolOf(d, "FullyCharged"), false);
  EXPECT_EQ(boolOf(d, "ExternalConnected"), false);
  EXPECT_EQ(boolOf(d, "ExternalChargeCapable"), false);
  EXPECT_EQ(brimwell::textOf(d.item("Manufacturer")), "SMP");
  EXPECT_EQ(brimwell::textOf(d.item("Serial")), "  1234");
}

TEST(SysfsBattery, EnergyOnlyBatteryThroughTheDesignVoltage) {
  TempDir dir;
  writeSupply(dir, "ps", "ADP1", mainsAdapter(true));
  writeSupply(dir, "ps", "BAT1", energyOnlyBattery());
  const brimwell::Plist d = statusOf(dir);
  EXPECT_EQ(intOf(d, "AppleRawCurrentCapacity"), 2700);  // 30.78 Wh / 11.4 V
  EXPECT_EQ(intOf(d, "AppleRawMaxCapacity"), 4000);
  EXPECT_EQ(intOf(d, "DesignCapacity"), 5000);
  // 17.1 W over the 12.6 V shown beside it; the capacities stay at the design voltage.
  EXPECT_EQ(intOf(d, "InstantAmperage"), 1357);
  EXPECT_EQ(intOf(d, "Voltage"), 12600);
  EXPECT_EQ(intOf(d, "CycleCount"), std::nullopt) << "not given, so left out";
  EXPECT_EQ(intOf(d, "Temperature"), std::nullopt);
  EXPECT_EQ(d.item("Serial"), nullptr);
  EXPECT_EQ(boolOf(d, "IsCharging"), true);
  EXPECT_EQ(boolOf(d, "ExternalConnected"), true);
  EXPECT_EQ(boolOf(d, "ExternalChargeCapable"), true);
}

// The host's energies, in mWh, only where every pack's driver reports energy: a charge-based
// driver's mAh through a voltage is no energy it told.
TEST(SysfsBattery, EnergiesWhereTheDriverReportsThem) {
  // Held at an 80 % limit with the driver's percent a point above its energy's.
  const auto heldAtLimit = [](const char* status) {
    SupplyAttributes b = energyOnlyBattery();
    b["status"] = status;
    b["capacity"] = "81";
    b["charge_control_end_threshold"] = "80";
    b["energy_now"] = "40000000";
    b["energy_full"] = "50000000";
    return b;
  };
  const struct {
    const char* name;
    SupplyAttributes battery;
    std::optional<int32_t> energy, full;
  } cases[] = {
      {"energy-reporting", energyOnlyBattery(), 30780, 45600},
      {"charge-reporting", chargeBasedBattery(), std::nullopt, std::nullopt},
      {"reported full at its limit", heldAtLimit("Full"), 40000, 50000},
      {"not charging at its limit", heldAtLimit("Not charging"), 40000, 50000},
  };
  for (const auto& c : cases) {
    TempDir dir;
    writeSupply(dir, "ps", "BAT0", c.battery);
    auto reading = readSysfs(readPowerSupplies(dir.path() + "/ps"));
    ASSERT_TRUE(reading.has_value()) << c.name;
    addHostFigures(*reading, estimate::Times{}, reading->status);
    EXPECT_EQ(intOf(reading->status, "BatteryEnergy"), c.energy) << c.name;
    EXPECT_EQ(intOf(reading->status, "BatteryEnergyFull"), c.full) << c.name;
  }
}

TEST(SysfsBattery, StatusAndSuppliesDecideTheFlagsAndTheSign) {
  // The USB-C port: its `online` (2 is a programmable supply), or none; a peripheral's dock
  // (scope Device) never stands for the laptop's charger.
  const char* const kNone = nullptr;
  const struct {
    const char* status;  // nullptr: the driver gives none
    const char* online;
    bool peripheral;
    const char* currentNow;  // µA, in the driver's own sign
    std::optional<bool> charging, full, connected, capable;
    int32_t current;
  } cases[] = {
      {"Charging", kNone, false, "-1210000", true, false, true, true, 1210},
      {"Full", kNone, false, "-1210000", false, true, true, true, -1210},
      {"Full", "1", false, "1210000", false, true, true, true, 0},
      {"Not charging", "1", false, "-1210000", false, false, true, false, -1210},
      {"Not charging", "1", false, "50000", false, false, true, false, 0},
      {"Not charging", "0", false, "50000", false, false, false, false, -50},
      {"Discharging", "0", false, "-1210000", false, false, false, false, -1210},
      {"Discharging", "2", false, "1210000", false, false, true, true, -1210},
      {"Unknown", "1", false, "-1210000", false, false, true, true, -1210},
      {"Unknown", "1", false, "1210000", false, false, true, true, 1210},
      {"Unknown", "abc", false, "-1210000", false, false, std::nullopt, std::nullopt, -1210},
      {"Unknown", "0", false, "1210000", false, false, false, false, -1210},
      {"Discharging", "1", true, "1210000", false, false, false, false, -1210},
      {"Charging", "0", true, "1210000", true, false, true, true, 1210},
      {kNone, "1", false, "-1210000", std::nullopt, std::nullopt, true, true, -1210},
      {kNone, kNone, false, "-1210000", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
       -1210},
  };
  for (const auto& c : cases) {
    TempDir dir;
    SupplyAttributes battery = chargeBasedBattery();
    battery.erase("status");
    if (c.status) battery["status"] = c.status;
    battery["current_now"] = c.currentNow;
    writeSupply(dir, "ps", "BAT0", battery);
    if (c.online) {
      SupplyAttributes port = {{"type", "USB"}, {"online", c.online}};
      if (c.peripheral) port["scope"] = "Device";
      writeSupply(dir, "ps", "USB-C", port);
    }
    const brimwell::Plist d = statusOf(dir);
    const std::string name = std::string(c.status ? c.status : "(no status)") + ", online " +
                             (c.online ? c.online : "-") + (c.peripheral ? " (a dock)" : "") +
                             ", current_now " + c.currentNow;
    EXPECT_EQ(boolOf(d, "IsCharging"), c.charging) << name;
    EXPECT_EQ(boolOf(d, "FullyCharged"), c.full) << name;
    EXPECT_EQ(boolOf(d, "ExternalConnected"), c.connected) << name;
    EXPECT_EQ(boolOf(d, "ExternalChargeCapable"), c.capable) << name;
    EXPECT_EQ(intOf(d, "InstantAmperage"), c.current) << name;
  }
}

TEST(SysfsBattery, OnlyTheSystemBatteryCounts) {
  TempDir dir;
  writeSupply(dir, "ps", "AC", mainsAdapter(true));
  EXPECT_FALSE(statusFromPowerSupplies(readPowerSupplies(dir.path() + "/ps"))) << "AC only";
  SupplyAttributes mouse = chargeBasedBattery();
  mouse["scope"] = "Device";
  writeSupply(dir, "ps", "hid-mouse-battery", mouse);
  EXPECT_FALSE(statusFromPowerSupplies(readPowerSupplies(dir.path() + "/ps"))) << "a mouse";
  SupplyAttributes laptop = chargeBasedBattery();
  laptop["cycle_count"] = "0";  // "don't know", so left out
  writeSupply(dir, "ps", "BAT0", laptop);
  const brimwell::Plist d = statusOf(dir);
  EXPECT_EQ(intOf(d, "AppleRawCurrentCapacity"), 3402);
  EXPECT_EQ(intOf(d, "CycleCount"), std::nullopt);
  EXPECT_FALSE(statusFromPowerSupplies(readPowerSupplies(dir.path() + "/absent")));
}

// Packs of which some give no percent: the lowest word any of those gives, the figures that do
// not need a level, and no charge.
TEST(SysfsBattery, WithoutAPercentTheLowestWord) {
  const SupplyAttributes word = {{"type", "Battery"}, {"status", "Discharging"}};
  auto with = [](SupplyAttributes a, const char* k, const char* v) {
    a[k] = v;
    return a;
  };
  const struct {
    const char* name;
    std::vector<std::pair<const char*, SupplyAttributes>> packs;
    const char* expected;
    std::optional<int32_t> limit = std::nullopt;
    const char* state = "discharging";
  } cases[] = {
      {"one word", {{"BAT0", with(word, "capacity_level", "Normal")}}, "Normal"},
      {"the lower of two",
       {{"BAT0", with(word, "capacity_level", "Normal")},
        {"BAT1", with(word, "capacity_level", "Low")}},
       "Low"},
      {"the lower, named first",
       {{"BAT0", with(word, "capacity_level", "Critical")},
        {"BAT1", with(word, "capacity_level", "High")}},
       "Critical"},
      {"a pack with a percent beside one with a word: the whole is unknown",
       {{"BAT0", chargeBasedBattery()}, {"BAT1", with(word, "capacity_level", "Critical")}},
       "Unknown"},
      {"no word: unknown", {{"BAT0", with(word, "capacity_level", "Unknown")}}, "Unknown"},
      {"a charge limit",
       {{"BAT0", with(with(word, "capacity_level", "Low"), "charge_control_end_threshold", "80")}},
       "Low",
       80},
      {"reported full, with nothing but its word: the word, no 100 %",
       {{"BAT0", {{"type", "Battery"}, {"status", "Full"}, {"capacity_level", "High"}}}},
       "High",
       std::nullopt,
       "full"},
      {"no current, no status: no way the charge goes",
       {{"BAT0", {{"type", "Battery"}, {"capacity_level", "Normal"}}}},
       "Normal",
       std::nullopt,
       "unknown"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& [name, attributes] : c.packs) writeSupply(dir, "ps", name, attributes);
    const auto supplies = readPowerSupplies(dir.path() + "/ps");
    EXPECT_FALSE(readSysfs(supplies)) << c.name;
    const auto status = coarseStatus(supplies);
    ASSERT_TRUE(status) << c.name;
    EXPECT_EQ(brimwell::textOf(status->item("BatteryLevelWord")), c.expected) << c.name;
    EXPECT_EQ(brimwell::textOf(status->item("ChargingState")), c.state) << c.name;
    EXPECT_EQ(status->item("AppleRawCurrentCapacity"), nullptr) << c.name;
    EXPECT_EQ(intOf(*status, "ChargeLimit"), c.limit) << c.name;
  }
  EXPECT_FALSE(coarseStatus({})) << "no battery";
}

// The wear is logged by serial: each pack needs one of its own.
TEST(SysfsBattery, EachPacksWearUnderASerialOfItsOwn) {
  const struct {
    const char* name;
    std::optional<std::string> first, second;  // serial_number, where given
    std::vector<std::string> serials;
  } cases[] = {
      {"two serials", "A1", "B2", {"A1", "B2"}},
      {"none given: the names", std::nullopt, std::nullopt, {"BAT0", "BAT1"}},
      {"the same twice: told apart by name", "0", "0", {"0", "0 (BAT1)"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& [name, serial] : {std::pair{"BAT0", c.first}, std::pair{"BAT1", c.second}}) {
      SupplyAttributes battery = chargeBasedBattery();
      battery.erase("serial_number");
      if (serial) battery["serial_number"] = *serial;
      writeSupply(dir, "ps", name, battery);
    }
    const auto reading = readSysfs(readPowerSupplies(dir.path() + "/ps"));
    ASSERT_TRUE(reading) << c.name;
    std::vector<std::string> serials;
    for (const PackWear& pack : reading->packs) serials.push_back(pack.serial);
    EXPECT_EQ(serials, c.serials) << c.name;
  }
}

TEST(SysfsSource, DeliversChangesAndFollowsTheBatteryComingAndGoing) {
  TempDir dir;
  const std::string folder = dir.path() + "/ps";
  std::filesystem::create_directories(folder);
  SysfsSource source(folder, SysfsSource::kDefaultPollInterval);
  EXPECT_FALSE(source.tick(0.25));
  EXPECT_EQ(source.takeNotices(),
            std::vector<std::string>{"no battery found in " + folder + "; waiting for one"});

  writeSupply(dir, "ps", "BAT0", chargeBasedBattery());
  EXPECT_FALSE(source.tick(0.25)) << "read again only after the poll interval";
  EXPECT_EQ(source.secondsUntilNextLook(), SysfsSource::kDefaultPollInterval - 0.25)
      << "the host sleeps until then";
  EXPECT_EQ(source.eventDescriptor(), -1) << "a copy of the folder has no kernel events";
  auto first = source.tick(SysfsSource::kDefaultPollInterval);
  ASSERT_TRUE(first);
  EXPECT_EQ(source.takeNotices(), std::vector<std::string>{"a battery appeared: BAT0"});
  EXPECT_EQ(intOf(*first, "AvgTimeToEmpty"), 65535) << "one reading gives no steady rate";
  auto second = source.tick(SysfsSource::kDefaultPollInterval);
  ASSERT_TRUE(second) << "the second reading brings the steady rate";
  EXPECT_EQ(intOf(*second, "AvgTimeToEmpty"), 169) << "3402 mAh at 1210 mA";
  EXPECT_FALSE(source.tick(SysfsSource::kDefaultPollInterval)) << "nothing changed";

  // The same battery switching from charge to energy units (it happens across a resume).
  std::filesystem::remove_all(folder + "/BAT0");
  writeSupply(dir, "ps", "BAT0", energyOnlyBattery());
  auto switched = source.tick(SysfsSource::kDefaultPollInterval);
  ASSERT_TRUE(switched);
  EXPECT_EQ(intOf(*switched, "AppleRawCurrentCapacity"), 2700);
  EXPECT_EQ(source.packs().size(), 1u) << "its wear";

  // Then giving only its word: present, with no wear to log.
  writeSupply(dir, "ps", "BAT0", {{"type", "Battery"}, {"capacity_level", "Low"}});
  std::filesystem::remove(folder + "/BAT0/energy_now");
  std::filesystem::remove(folder + "/BAT0/capacity");
  auto coarse = source.tick(SysfsSource::kDefaultPollInterval);
  ASSERT_TRUE(coarse);
  EXPECT_EQ(brimwell::textOf(coarse->item("BatteryLevelWord")), "Low");
  EXPECT_TRUE(source.packs().empty());
  source.takeNotices();

  std::filesystem::remove_all(folder + "/BAT0");
  auto gone = source.tick(SysfsSource::kDefaultPollInterval);
  ASSERT_TRUE(gone) << "the old figures would stand for a battery that is not there";
  EXPECT_EQ(gone->toXml(), brimwell::Plist::fromMemory("<plist><dict><key>BatteryInstalled</key>"
                                                       "<false/></dict></plist>")
                               .toXml());
  EXPECT_EQ(source.takeNotices(), std::vector<std::string>{"the battery is gone from " + folder});
  EXPECT_FALSE(source.tick(SysfsSource::kDefaultPollInterval)) << "said once";
}

// A laptop's folder over 50 minutes, read by the source at its own pace, each second of the
// host's clock on the folder as it is then (a fixture announces nothing): once learned, each time
// it delivers is within 15 % (and a minute) of the true one, a lone pack's level is never more
// than 30 s behind its driver's, and a steady drain is read about once a percent.
TEST(SysfsSource, TimesAndLevelOverFiftyMinutes) {
  using Folder = std::map<std::string, SupplyAttributes>;
  const auto pack = [](double wh, double watts, bool present = true) {  // of 50 Wh
    return SupplyAttributes{{"type", "Battery"},
                            {"energy_full", "50000000"},
                            {"status", "Discharging"},
                            {"present", present ? "1" : "0"},
                            {"energy_now", std::to_string(std::lround(wh * 1e6))},
                            {"power_now", std::to_string(std::lround(watts * 1e6))},
                            {"capacity", std::to_string(static_cast<int>(wh * 2))}};
  };
  // 6 and 14 W by turns, half a minute each, from 30 %; two packs at 5 W, the second taken out
  // at 10 min with too little left for its going to look like a gauge putting itself right.
  const auto swung = [](double t) {
    return 15 - (600 * std::floor(t / 60) + std::min(std::fmod(t, 60), 30.0) * 6 +
                 std::max(std::fmod(t, 60) - 30, 0.0) * 14) /
                    3600;
  };
  const auto kept = [](double t) { return 30 - (5 * t + 5 * std::max(t - 600, 0.0)) / 3600; };
  const auto out = [](double t) { return 1.25 - 5 * std::min(t, 600.0) / 3600; };
  const struct {
    const char* name;
    std::function<Folder(double)> folder;
    std::function<double(double)> minutes;
    double checkedFrom;  // s
    int looks = 3000;    // at most, from checkedFrom on
  } cases[] = {
      {"6 and 14 W by turns",
       [&](double t) {
         return Folder{{"BAT0", pack(swung(t), std::fmod(t, 60) < 30 ? 6 : 14)}};
       },
       [&](double t) { return swung(t) * 6; }, 120},
      {"a pack taken out",
       [&](double t) {
         return Folder{{"BAT0", pack(kept(t), t < 600 ? 5 : 10)},
                       {"BAT1", pack(out(t), t < 600 ? 5 : 0, t < 600)}};
       },
       [&](double t) { return (kept(t) + (t < 600 ? out(t) : 0)) * 6; }, 780},
      {"a percentage and a current of 0, 1 % a minute",
       [](double t) {
         return Folder{{"BAT0",
                        {{"type", "Battery"},
                         {"status", "Discharging"},
                         {"current_now", "0"},
                         {"capacity", std::to_string(std::lround(std::ceil(60 - t / 60)))}}}};
       },
       [](double t) { return 60 - t / 60; }, 360},
      // 1 % in 3 minutes from 60 %, its driver's percent cut: 16 turns from 270 s on.
      {"10 W",
       [&](double t) {
         return Folder{{"BAT0", pack(30 - t / 360, 10)}};
       },
       [&](double t) { return (30 - t / 360) * 6; }, 270, 17},
  };
  for (const auto& c : cases) {
    TempDir dir;
    SysfsSource source(dir.path() + "/ps");
    std::optional<brimwell::Plist> shown;
    double current = 0;  // the last second the level delivered was the driver's
    int looks = 0;
    for (double t = 0; t <= 3000; ++t) {
      const Folder folder = c.folder(t);
      for (const auto& [name, attributes] : folder)
        if (source.secondsUntilNextLook() <= 1) writeSupply(dir, "ps", name, attributes);
      if (auto status = source.tick(t == 0 ? 0 : 1)) shown = std::move(status);
      ASSERT_TRUE(shown) << c.name;
      if (folder.size() > 1 ||
          intOf(*shown, "CurrentCapacity") == std::stoi(folder.at("BAT0").at("capacity")))
        current = t;
      EXPECT_LE(t - current, estimate::kSoonestLook) << c.name << ": the level behind at " << t;
      if (t < c.checkedFrom) continue;
      looks += source.looked();
      EXPECT_NEAR(intOf(*shown, "AvgTimeToEmpty").value_or(0), c.minutes(t),
                  0.15 * c.minutes(t) + 1)
          << c.name << " at " << t;
    }
    EXPECT_LE(looks, c.looks) << c.name << ": looks from " << c.checkedFrom << " s";
  }
}

// The kernel's count of the time asleep jumping between two looks: past a second it is a sleep,
// read afresh at once, the host's clock is told how long the machine slept in all, and the
// battery before and after it is given once, for the sleep's record.
TEST(SysfsSource, ASleepIsReadAfreshAndCounted) {
  const struct {
    const char* name;
    double jump;  // seconds asleep between the two looks
    bool slept;
    bool announced = false;  // logind told when it began and ended
  } cases[] = {
      {"half a second: no sleep", 0.5, false},
      {"a second and a half", 1.5, true},
      {"a night", 8 * 3600, true},
      {"half a second logind announced", 0.5, true, true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    writeSupply(dir, "ps", "BAT0", chargeBasedBattery());
    double asleep = 1000;
    SysfsSource source(dir.path() + "/ps", std::nullopt, [&] { return asleep; });
    ASSERT_TRUE(source.tick(SysfsSource::kDefaultPollInterval)) << c.name;
    if (c.announced) source.sleepBegins();
    asleep += c.jump;
    SupplyAttributes drained = chargeBasedBattery();
    drained["charge_now"] = "3060000";  // 75 % of 4080 mAh, 34.884 Wh at 11.4 V
    writeSupply(dir, "ps", "BAT0", drained);
    if (c.announced) source.sleepEnded();
    source.tick(0.25);
    EXPECT_EQ(source.slept(), c.slept) << c.name;
    EXPECT_EQ(source.looked(), c.slept) << c.name << ": read at once after a sleep only";
    EXPECT_EQ(source.secondsSlept(), c.jump) << c.name;
    const auto crossing = source.takeSleep();
    // Announced, it counts from the reading before it, awake time around it too.
    const double measured = c.announced ? c.jump + 0.25 : c.jump;
    ASSERT_EQ(crossing.has_value(), c.slept) << c.name;
    EXPECT_FALSE(source.takeSleep()) << c.name << ": once";
    if (!crossing) continue;
    EXPECT_EQ(crossing->seconds, measured) << c.name;
    EXPECT_NEAR(crossing->levelBefore, 100 * 3402.0 / 4080, 1e-9) << c.name;
    EXPECT_NEAR(crossing->levelAfter, 75, 1e-9) << c.name;
    EXPECT_NEAR(*crossing->energyBeforeWh - *crossing->energyAfterWh, 0.342 * 11.4, 1e-9);
    EXPECT_FALSE(crossing->externalBefore || crossing->externalAfter) << c.name;
  }
  // A battery that cannot be read at once after the sleep leaves it unmeasured: a later reading
  // would count awake time as asleep.
  for (const bool announced : {false, true}) {
    TempDir dir;
    writeSupply(dir, "ps", "BAT0", chargeBasedBattery());
    double asleep = 1000;
    SysfsSource source(dir.path() + "/ps", std::nullopt, [&] { return asleep; });
    ASSERT_TRUE(source.tick(SysfsSource::kDefaultPollInterval));
    if (announced) source.sleepBegins();
    asleep += 3600;
    std::filesystem::rename(dir.path() + "/ps/BAT0", dir.path() + "/BAT0");
    if (announced) source.sleepEnded();
    source.tick(0.25);
    std::filesystem::rename(dir.path() + "/BAT0", dir.path() + "/ps/BAT0");
    source.lookNow();
    source.tick(60);
    EXPECT_FALSE(source.takeSleep()) << announced;
  }
}

// The charge service's kept file beside the folder: a "full once" of this boot for a battery the
// source reads marks its status; one of another boot, of a battery not read, or in a file that
// is not the service's leaves none, and says nothing.
TEST(SysfsSource, AFullOnceTheChargeServiceKeeps) {
  const std::string boot = brimwell::charge::currentBootId();
  ASSERT_FALSE(boot.empty());
  const auto kept = [&](const char* battery, const std::string& bootId) {
    return std::string("{\"") + battery + "\": {\"end\": 80, \"fullOnceBoot\": \"" + bootId +
           "\"}}";
  };
  const SupplyAttributes word = {
      {"type", "Battery"}, {"status", "Charging"}, {"capacity_level", "Normal"}};
  const auto limitAt = [](const char* limit) {
    SupplyAttributes b = chargeBasedBattery();
    b["charge_control_end_threshold"] = limit;
    return b;
  };
  const SupplyAttributes mouse = {
      {"type", "Battery"}, {"scope", "Device"}, {"capacity", "40"}, {"status", "Discharging"}};
  const struct {
    const char* name;
    std::optional<std::string> file;  // charge-limits.json, where there is one
    bool fullOnce;
    std::vector<std::pair<const char*, SupplyAttributes>> supplies = {{"BAT0", {}}};
  } cases[] = {
      {"this boot", kept("BAT0", boot), true},
      {"this boot, held at 100", kept("BAT0", boot), true, {{"BAT0", limitAt("100")}}},
      {"this boot, but held at 80: it ended", kept("BAT0", boot), false, {{"BAT0", limitAt("80")}}},
      {"an earlier boot", kept("BAT0", "0b7e7c36-earlier-boot"), false},
      {"no boot: none waits", "{\"BAT0\": {\"end\": 80}}", false},
      {"another battery's", kept("BAT1", boot), false},
      {"the second of two batteries", kept("BAT1", boot), true, {{"BAT0", {}}, {"BAT1", {}}}},
      {"a mouse is no battery of the machine's",
       kept("hidpp_battery_0", boot),
       false,
       {{"BAT0", {}}, {"hidpp_battery_0", mouse}}},
      {"a battery with only a word", kept("BAT0", boot), true, {{"BAT0", word}}},
      {"no file", std::nullopt, false},
      {"damaged", kept("BAT0", boot).substr(1), false},
      {"64 KiB, the most read",
       kept("BAT0", boot) + std::string(65536 - kept("BAT0", boot).size(), ' '), true},
      {"a byte more: no file of the service's",
       kept("BAT0", boot) + std::string(65537 - kept("BAT0", boot).size(), ' '), false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& [name, attributes] : c.supplies)
      writeSupply(dir, "ps", name, attributes.empty() ? chargeBasedBattery() : attributes);
    std::filesystem::create_directories(dir.path() + "/state");
    if (c.file) std::ofstream(dir.path() + "/state/charge-limits.json") << *c.file;
    SysfsSource source(
        dir.path() + "/ps", std::nullopt, [] { return 0.0; }, dir.path() + "/state");
    const auto status = source.tick(SysfsSource::kDefaultPollInterval);
    ASSERT_TRUE(status) << c.name;
    EXPECT_EQ(boolOf(*status, "ChargeFullOnce"), c.fullOnce ? std::optional(true) : std::nullopt)
        << c.name;
    for (const std::string& notice : source.takeNotices())
      EXPECT_EQ(notice.find("charge-limits"), std::string::npos) << c.name << ": " << notice;
  }
}

}  // namespace
}  // namespace host
