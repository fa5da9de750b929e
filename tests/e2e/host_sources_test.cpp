// The battery sources through the built springboard-sim and Brimwell.dylib.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include "common/device_keys.h"
#include "common/dictionary_file.h"
#include "common/value_conversions.h"
#include "tests/support/background_process.h"
#include "tests/support/device_root.h"
#include "tests/support/mock_bus.h"
#include "tests/support/power_supply_fixture.h"

namespace {

using brimwell::Plist;
using testing_support::DeviceRoot;
using testing_support::runProcess;

struct Recording {
  std::vector<double> delays;
  std::vector<Plist> statuses;
};

Recording readRecording(const std::string& path) {
  std::string bytes = testing_support::readFile(path);
  const Plist array = Plist::fromMemory(bytes);
  Recording r;
  for (size_t i = 0; i < array.size(); ++i) {
    const Plist& element = array.at(i);
    r.delays.push_back(element.item("delay")->realValue());
    r.statuses.push_back(element.item("status")->copy());
  }
  return r;
}

int32_t value(const Plist& d, const char* key) {
  return brimwell::intValueOf(d.item(key));
}
bool flag(const Plist& d, const char* key) {
  return brimwell::boolValueOf(d.item(key));
}

TEST(SimulatedSource, ChargesThroughTheHostToFullAndStops) {
  DeviceRoot root;
  const std::string record = root.path() + "/rec.plist";
  const auto result = runProcess(SPRINGBOARD_SIM,
                                 {"--source", "sim", "--start", "20", "--virtual-time",
                                  "--duration", "14400", "--record", record},
                                 {{"SIM_DEVICE_ROOT", root.path()}});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const Recording r = readRecording(record);
  ASSERT_GT(r.statuses.size(), 100u);
  // Rate-limited: at 60x and at most one change a quarter second, never closer than 15 s.
  for (size_t i = 1; i < r.delays.size(); ++i) EXPECT_GE(r.delays[i], 15.0 - 1e-9) << i;

  int32_t lastCharge = 0;
  int32_t lastTaperCurrent = 1000;
  bool tapered = false;
  for (const Plist& s : r.statuses) {
    const int32_t charge = value(s, "AppleRawCurrentCapacity");
    EXPECT_GE(charge, lastCharge);
    lastCharge = charge;
    const int32_t current = value(s, "InstantAmperage");
    if (flag(s, "IsCharging") && charge > 0.81 * 1715) {
      EXPECT_LE(current, lastTaperCurrent);
      lastTaperCurrent = current;
      tapered = true;
    }
  }
  EXPECT_TRUE(tapered);
  const Plist& last = r.statuses.back();
  EXPECT_TRUE(flag(last, "FullyCharged"));
  EXPECT_FALSE(flag(last, "IsCharging"));
  EXPECT_EQ(value(last, "InstantAmperage"), 0);
  EXPECT_EQ(value(last, "AppleRawCurrentCapacity"), 1715);
  // The plug-in wrote the last change whole, nested dictionary included.
  EXPECT_EQ(brimwell::readDictionaryFile(root.path() + "/tmp/batteryStatus.plist").toXml(),
            last.toXml());
  EXPECT_NE(root.statusFile().find("<key>AdapterDetails</key>"), std::string::npos);
}

TEST(SimulatedSource, DrainsOffTheCharger) {
  DeviceRoot root;
  const std::string record = root.path() + "/rec.plist";
  const auto result = runProcess(SPRINGBOARD_SIM,
                                 {"--charger", "off", "--start", "70", "--virtual-time",
                                  "--duration", "3600", "--record", record},
                                 {{"SIM_DEVICE_ROOT", root.path()}});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const Recording r = readRecording(record);
  ASSERT_GT(r.statuses.size(), 10u);
  int32_t lastCharge = 1715;
  for (const Plist& s : r.statuses) {
    EXPECT_LE(value(s, "AppleRawCurrentCapacity"), lastCharge);
    lastCharge = value(s, "AppleRawCurrentCapacity");
    EXPECT_LT(value(s, "InstantAmperage"), 0);
    EXPECT_FALSE(flag(s, "ExternalConnected"));
  }
  EXPECT_LT(lastCharge, 0.70 * 1715 - 50);
}

TEST(SimulatedSource, WithoutAPlugInSaysSo) {
  testing_support::TempDir device;
  const auto result = runProcess(SPRINGBOARD_SIM, {"--virtual-time", "--duration", "60"},
                                 {{"SIM_DEVICE_ROOT", device.path()}});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "springboard-sim: no plug-in loaded from " + device.path() +
                            "/Library/MobileSubstrate/DynamicLibraries: status changes reach no "
                            "status file\n");
}

TEST(ReplaySource, DeliversInOrderWithAlertsAtTheirTime) {
  DeviceRoot root;
  root.runScenario("settings alertLevel=50 isPopAlert=true isVibrate=true\n");
  const std::string recording = root.write(
      "session.plist",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>"
      "<dict><key>status</key><dict><key>AppleRawCurrentCapacity</key><integer>400</integer>"
      "<key>AppleRawMaxCapacity</key><integer>1000</integer><key>ExternalConnected</key><true/></"
      "dict></dict>"
      "<dict><key>delay</key><real>120</real><key>status</key><dict><key>AppleRawCurrentCapacity</"
      "key>"
      "<integer>500</integer><key>AppleRawMaxCapacity</key><integer>1000</integer>"
      "<key>ExternalConnected</key><true/></dict></dict>"
      "<dict><key>delay</key><real>30</real><key>status</key><dict><key>AppleRawCurrentCapacity</"
      "key>"
      "<integer>1000</integer><key>AppleRawMaxCapacity</key><integer>1000</integer>"
      "<key>ExternalConnected</key><true/><key>Kept</key><string>yes</string></dict></dict>"
      "</array></plist>");
  const auto result = runProcess(
      SPRINGBOARD_SIM,
      {"--source", "replay=" + recording, "--speed", "60", "--virtual-time", "--log-status"},
      {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(
      result.out,
      "[00:00:15] status 40% 400/1000 mAh 0 mA on charger, not charging\n"
      "[00:02:15] status 50% 500/1000 mAh 0 mA on charger, not charging\n"
      "[00:02:15] dialog \"Message\" \"Charging has reached 50%\" \"OK\"\n"
      "[00:02:15] vibrate\n"
      "[00:02:45] status 100% 1000/1000 mAh 0 mA on charger, not charging\n"
      "[00:02:45] dialog \"Message\" \"Charging is complete\" \"OK\"\n"
      "[00:02:45] vibrate\n"
      "[00:02:45] delivered 3 status changes; the last: 100% 1000/1000 mAh 0 mA on charger, not "
      "charging\n");
  EXPECT_NE(root.statusFile().find("<key>Kept</key>"), std::string::npos);
}

// Headless output goes to a file or the journal: each line must be there when it is said, not
// when the host ends.
TEST(ReplaySource, EachLineReachesAPipeWhileTheHostRuns) {
  DeviceRoot root;
  root.runScenario("settings alertLevel=50 isPopAlert=true\n");
  const std::string recording =
      root.write("session.plist",
                 "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>"
                 "<dict><key>AppleRawCurrentCapacity</key><integer>500</integer>"
                 "<key>AppleRawMaxCapacity</key><integer>1000</integer>"
                 "<key>ExternalConnected</key><true/></dict>"
                 "<dict><key>delay</key><real>3600</real><key>status</key><dict>"
                 "<key>AppleRawCurrentCapacity</key><integer>600</integer>"
                 "<key>AppleRawMaxCapacity</key><integer>1000</integer></dict></dict>"
                 "</array></plist>");
  testing_support::BackgroundProcess host(
      SPRINGBOARD_SIM, {"--source", "replay=" + recording, "--headless", "--log-status"},
      {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
  EXPECT_EQ(host.readLine(10000),
            "[00:00:00] status 50% 500/1000 mAh 0 mA on charger, not charging");
  EXPECT_EQ(host.readLine(10000),
            "[00:00:00] dialog \"Message\" \"Charging has reached 50%\" \"OK\"");
  // Ended with the second status an hour away: the lines came while it ran.
  EXPECT_NE(host.stop().find("delivered 1 status change; the last: 50% "), std::string::npos);
}

TEST(ReplaySource, ABadRecordingIsAOneLineError) {
  DeviceRoot root;
  std::filesystem::create_directories(root.path() + "/folder");
  mkfifo((root.path() + "/fifo").c_str(), 0600);
  std::string trues;
  for (int i = 0; i < 5000; ++i) trues += "<true/>";
  const struct {
    const char* name;
    std::string path;
    std::string why;
  } cases[] = {
      {"not an array", root.write("bad.plist", "<plist><dict/></plist>"),
       "is not a property-list array of status dictionaries"},
      {"malformed", root.write("cut.plist", "<plist><array><dict><key>status</key></dict>"),
       "is not a property list: line 1: key \"status\" has no value"},
      {"a bad element after a good one",
       root.write("late.plist",
                  "<plist><array><dict><key>AppleRawCurrentCapacity</key><integer>5</integer>"
                  "</dict><true/></array></plist>"),
       "late.plist: element 1 is not a dictionary"},
      {"a status of 5000 values",
       root.write("large.plist", "<plist><array><dict><key>a</key><array>" + trues +
                                     "</array></dict></array></plist>"),
       "large.plist: element 0 is larger than 256 KiB or 4096 values"},
      {"a FIFO", root.path() + "/fifo", "not a regular file"},
      {"a folder", root.path() + "/folder", "not a regular file"},
      {"absent", root.path() + "/absent.plist", "No such file or directory"},
  };
  for (const auto& c : cases) {
    const auto result =
        runProcess(SPRINGBOARD_SIM, {"--source", "replay=" + c.path, "--virtual-time"},
                   {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_EQ(result.exitCode, 2) << c.name;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << c.name;
    EXPECT_NE(result.err.find(c.path), std::string::npos) << c.name << ": " << result.err;
    EXPECT_NE(result.err.find(c.why), std::string::npos) << c.name << ": " << result.err;
    EXPECT_FALSE(root.hasStatusFile()) << c.name;
  }
}

TEST(Recording, WrittenByAtomicReplacementOrAOneLineError) {
  DeviceRoot root;
  const std::string planted = root.write("elsewhere/victim", "keep me");
  std::filesystem::create_symlink(planted, root.path() + "/rec.plist");
  const auto run = [&](const std::string& path) {
    return runProcess(SPRINGBOARD_SIM, {"--virtual-time", "--duration", "600", "--record", path},
                      {{"SIM_DEVICE_ROOT", root.path()}});
  };
  const auto written = run(root.path() + "/rec.plist");
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_FALSE(std::filesystem::is_symlink(root.path() + "/rec.plist"));
  EXPECT_EQ(root.read("elsewhere/victim"), "keep me");
  EXPECT_GT(readRecording(root.path() + "/rec.plist").statuses.size(), 10u);

  // A FIFO at the path is not replaced by a file.
  const std::string fifo = root.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto refused = run(fifo);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "springboard-sim: cannot write " + fifo + ": not a regular file\n");
  struct stat info;
  EXPECT_TRUE(::lstat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));

  const std::string nowhere = root.path() + "/no/such/rec.plist";
  const auto failed = run(nowhere);
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.err, "springboard-sim: cannot write " + nowhere +
                            ": cannot create a temporary file: No such file or directory\n");
}

}  // namespace

namespace {

using testing_support::writeSupply;

struct SysfsCase {
  const char* name;
  std::vector<std::pair<std::string, testing_support::SupplyAttributes>> supplies;
  std::vector<std::string> viewerLines;     // expected lines of BrimwellViewer --once
  std::vector<std::string> jsonParts = {};  // and parts of its --json
  std::string summary = "";                 // and the host's last line begins so
};

TEST(SysfsSourceThroughTheHost, EachBatteryKindReachesTheViewer) {
  auto noCycles = testing_support::chargeBasedBattery();
  noCycles.erase("cycle_count");
  auto withCapacity = testing_support::chargeBasedBattery();  // 83.38 % by its charge
  withCapacity["capacity"] = "84";
  const auto energyAt = [](const testing_support::SupplyAttributes& changes) {
    auto battery = testing_support::energyOnlyBattery();
    battery.erase("power_now");
    for (const auto& [name, value] : changes) battery[name] = value;
    return battery;
  };
  const std::vector<SysfsCase> cases = {
      {"charge-based on battery",
       {{"AC", testing_support::mainsAdapter(false)},
        {"BAT0", testing_support::chargeBasedBattery()}},
       {"currentBatteryLevel \"83.38%\" color=0,0.75,0,1",
        "currentLabel \"-1210 mA\" color=0.8,0,0,1", "remainingTimeLabel \"2 h 49 m\"",
        "cycleLabel \"87\"", "batteryTempLabel \"30.00\u2103\" color=0,0.75,0,1",
        "outputLabel \"No Charger\"", "manufacturerLabel \"SMP\""}},
      {"energy-only, charging",
       {{"ADP1", testing_support::mainsAdapter(true)},
        {"BAT1", testing_support::energyOnlyBattery()}},
       {"currentBatteryLevel \"67.50%\" color=0,0.75,0,1",
        "currentLabel \"1357 mA\" color=0,0.75,0,1", "designCap \"5000 mAh\"",
        "cycleLabel \"\u2014\"", "batteryTempLabel \"\u2014\"", "outputLabel \"1357 mA\"",
        "fullyChargedLabel \"No\"", "serialNumberLabel \"\u2014\""}},
      {"the drivers' own percentage is the level",
       {{"BAT0", withCapacity}},
       {"currentBatteryLevel \"84.00%\" color=0,0.75,0,1"},
       {"\"level\":84.00"},
       "; the last: 84% 3402/4080 mAh"},
      {"no cycle count: a dash, not 0", {{"BAT0", noCycles}}, {"cycleLabel \"\u2014\""}},
      {"30 Wh at 10 W last three hours, whatever the present voltage",
       {{"BAT0", energyAt({{"status", "Discharging"},
                           {"energy_now", "30000000"},
                           {"power_now", "10000000"},
                           {"voltage_now", "12913000"}})}},
       {"remainingTimeLabel \"3 h 0 m\""},
       {"\"time_to_empty_min\":180"}},
      {"only a percentage: the level reads right",
       {{"BAT0", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "45"}}}},
       {"currentBatteryLevel \"45.00%\" color=0,0.75,0,1", "maxCap \"100 mAh\""}},
      {"2 TWh at 1 mA: the figures saturate, and a draw that small gives no time",
       {{"BAT0", energyAt({{"status", "Discharging"},
                           {"energy_now", "2000000000000000000"},
                           {"energy_full", "2000000000000000000"},
                           {"current_now", "1000"},
                           {"temp", "9223372036854775807"}})}},
       {"currentBatteryLevel \"100.00%\" color=0,0.75,0,1",
        "currentLabel \"-1 mA\" color=0.8,0,0,1",
        "batteryTempLabel \"21474836.00\u2103\" color=1,0.5,0,1",
        "remainingTimeLabel \"Estimating...\""},
       {"\"time_to_empty_min\":null"}},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.writeLaptopSettings();
    for (const auto& [name, attributes] : c.supplies) writeSupply(root, "sys", name, attributes);
    const auto host = runProcess(
        SPRINGBOARD_SIM,
        {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "1"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    ASSERT_EQ(host.exitCode, 0) << c.name << host.err;
    EXPECT_EQ(host.err, "") << c.name;
    EXPECT_EQ(host.out.find("delivered 0 status changes"), std::string::npos) << c.name << host.out;
    if (!c.summary.empty()) {
      EXPECT_NE(host.out.find(c.summary), std::string::npos) << c.name << host.out;
    }
    const auto viewer = runProcess(BRIMWELL_VIEWER, {"--once"},
                                   {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
    for (const std::string& line : c.viewerLines) {
      EXPECT_NE(viewer.out.find(line + "\n"), std::string::npos) << c.name << ": " << line << "\n"
                                                                 << viewer.out;
    }
    if (c.jsonParts.empty()) continue;
    const auto json = runProcess(BRIMWELL_VIEWER, {"--json"}, {{"SIM_DEVICE_ROOT", root.path()}});
    for (const std::string& part : c.jsonParts) {
      EXPECT_NE(json.out.find(part), std::string::npos) << c.name << ": " << part << "\n"
                                                        << json.out;
    }
  }
  // Without the key, the file has no CycleCount at all.
  DeviceRoot root;
  writeSupply(root, "sys", "BAT0", noCycles);
  runProcess(SPRINGBOARD_SIM,
             {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "1"},
             {{"SIM_DEVICE_ROOT", root.path()}});
  EXPECT_EQ(root.statusFile().find("CycleCount"), std::string::npos);
  EXPECT_NE(root.statusFile().find("AppleRawCurrentCapacity"), std::string::npos);
}

// What drivers give, through the built host to the status file: each key's text form ("%@"),
// or none for a key left out.
struct DriverCase {
  const char* name;
  std::vector<std::pair<std::string, testing_support::SupplyAttributes>> supplies;
  std::vector<std::pair<const char*, std::optional<std::string>>> status;
  std::vector<std::string> unreadable = {};  // BAT0's attributes that cannot be read
};

TEST(SysfsSourceThroughTheHost, WhatDriversReallyGive) {
  using testing_support::chargeBasedBattery;
  using testing_support::energyOnlyBattery;
  using testing_support::SupplyAttributes;
  auto with = [](SupplyAttributes attributes, const SupplyAttributes& changes) {
    for (const auto& [name, value] : changes) attributes[name] = value;
    return attributes;
  };
  auto without = [](SupplyAttributes attributes, std::initializer_list<const char*> names) {
    for (const char* name : names) attributes.erase(name);
    return attributes;
  };
  const SupplyAttributes atLimit = with(
      chargeBasedBattery(),
      {{"status", "Not charging"}, {"capacity", "79"}, {"charge_control_end_threshold", "80"}});
  auto energyPack = [&](const char* nowMicrowattHours) {
    return with(energyOnlyBattery(), {{"energy_now", nowMicrowattHours},
                                      {"energy_full", "60000000"},
                                      {"voltage_min_design", "12000000"}});
  };
  const std::vector<DriverCase> cases = {
      {"two packs, one in charge and one in energy units",
       {{"BAT0", chargeBasedBattery()}, {"BAT1", energyOnlyBattery()}},
       {{"AppleRawCurrentCapacity", "6102"},
        {"AppleRawMaxCapacity", "8080"},
        {"DesignCapacity", "9400"},
        {"InstantAmperage", "147"},  // 17.1 W over 12.6 V, less the other pack's 1210 mA
        {"Voltage", "12600"},
        {"Temperature", "3010"},
        {"CycleCount", "87"},
        {"Manufacturer", "SMP / LGC"},
        {"Serial", "  1234"},
        {"IsCharging", "1"},
        {"FullyCharged", "0"},
        {"ExternalConnected", "1"}}},
      {"a voltage of 0 is no reading: the current through the design voltage",
       {{"BAT1", with(energyOnlyBattery(), {{"voltage_now", "0"}})}},
       {{"Voltage", std::nullopt}, {"InstantAmperage", "1500"}}},
      {"charge-weighted: 48 of 60 Wh beside 1.5 of 60 Wh",
       {{"BAT0", energyPack("48000000")}, {"BAT1", energyPack("1500000")}},
       {{"AppleRawCurrentCapacity", "4125"}, {"AppleRawMaxCapacity", "10000"}}},
      {"the drivers' percentages weighted by full charge: 80 of 60 Wh, 20 of 45.6",
       {{"BAT0", with(energyPack("48000000"), {{"capacity", "80"}})},
        {"BAT1", with(energyOnlyBattery(), {{"capacity", "20"}})}},
       {{"CurrentCapacity", "54"}}},
      {"trailing blanks and a carriage return are not part of a value",
       {{"BAT0", with(chargeBasedBattery(), {{"status", "Full \r"}})}},
       {{"FullyCharged", "1"}}},
      {"a mouse's battery stays out",
       {{"BAT0", chargeBasedBattery()},
        {"hid-mouse", with(energyOnlyBattery(), {{"scope", "Device"}})}},
       {{"AppleRawCurrentCapacity", "3402"}, {"Manufacturer", "SMP"}}},
      {"held at the limit (79 of 80)",
       {{"AC", testing_support::mainsAdapter(true)}, {"BAT0", atLimit}},
       {{"FullyCharged", "1"},
        {"IsCharging", "0"},
        {"ExternalConnected", "1"},
        {"ExternalChargeCapable", "1"}}},
      {"held below the limit (70 of 80)",
       {{"AC", testing_support::mainsAdapter(true)}, {"BAT0", with(atLimit, {{"capacity", "70"}})}},
       {{"FullyCharged", "0"}, {"ExternalChargeCapable", "0"}}},
      {"no limit shown: not charging at 91 %",
       {{"BAT0", without(with(atLimit, {{"capacity", "91"}}), {"charge_control_end_threshold"})}},
       {{"FullyCharged", "1"}}},
      {"no limit shown: not charging at 85 %",
       {{"BAT0", without(with(atLimit, {{"capacity", "85"}}), {"charge_control_end_threshold"})}},
       {{"FullyCharged", "0"}}},
      {"an unreadable attribute is left out, the rest delivered",
       {{"BAT0", chargeBasedBattery()}},
       {{"Voltage", std::nullopt}, {"AppleRawCurrentCapacity", "3402"}, {"Temperature", "3010"}},
       {"voltage_now"}},
      {"a pack taken out keeps stale files but says present 0",
       {{"BAT0", chargeBasedBattery()}, {"BAT1", with(energyOnlyBattery(), {{"present", "0"}})}},
       {{"AppleRawCurrentCapacity", "3402"}, {"Manufacturer", "SMP"}}},
      {"the level only as capacity",
       {{"BAT0", with(without(chargeBasedBattery(), {"charge_now"}),
                      {{"charge_full", "10500000"}, {"capacity", "40"}})}},
       {{"AppleRawCurrentCapacity", "4200"}, {"AppleRawMaxCapacity", "10500"}}},
      {"a capacity that is not a number is no percentage: the charge's level stands",
       {{"BAT0", with(chargeBasedBattery(), {{"capacity", "n/a"}})}},
       {{"AppleRawCurrentCapacity", "3402"}, {"AppleRawMaxCapacity", "4080"}}},
      {"a charge above the full charge is the full charge",
       {{"BAT0", with(chargeBasedBattery(), {{"status", "Full"}, {"charge_now", "4090000"}})}},
       {{"AppleRawCurrentCapacity", "4080"}, {"FullyCharged", "1"}}},
      {"full without a full charge: the charge is the full charge",
       {{"BAT0", with(without(chargeBasedBattery(), {"charge_full"}), {{"status", "Full"}})}},
       {{"AppleRawCurrentCapacity", "3402"}, {"AppleRawMaxCapacity", "3402"}}},
      {"energy past 32 bits: both scaled alike, the level kept",
       {{"BAT0", with(energyOnlyBattery(), {{"voltage_min_design", "1"}})}},
       {{"AppleRawCurrentCapacity", "1159641169"},
        {"AppleRawMaxCapacity", "1717986918"},
        {"DesignCapacity", "2147483647"}}},
      {"energy without any voltage: a scale of 100",
       {{"BAT0", without(energyOnlyBattery(), {"voltage_min_design", "voltage_now"})}},
       {{"AppleRawCurrentCapacity", "68"}, {"AppleRawMaxCapacity", "100"}}},
      {"the level only as capacity, no full charge: the design's",
       {{"BAT0", with(without(chargeBasedBattery(), {"charge_full"}), {{"capacity", "62"}})}},
       {{"AppleRawCurrentCapacity", "2728"},
        {"AppleRawMaxCapacity", "4400"},
        {"DesignCapacity", "4400"}}},
      {"full charge unreadable: the charge of the design",
       {{"BAT0", chargeBasedBattery()}},
       {{"AppleRawCurrentCapacity", "3402"}, {"AppleRawMaxCapacity", "4400"}},
       {"charge_full"}},
      {"nothing but a percentage: a scale of 100",
       {{"BAT0", {{"type", "Battery"}, {"status", "Charging"}, {"capacity", "45"}}}},
       {{"AppleRawCurrentCapacity", "45"},
        {"AppleRawMaxCapacity", "100"},
        {"DesignCapacity", std::nullopt}}},
      {"a percentage-only pack beside a full one: both on the scale",
       {{"BAT0", chargeBasedBattery()},
        {"BAT1", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "40"}}}},
       {{"AppleRawCurrentCapacity", "123"},
        {"AppleRawMaxCapacity", "200"},
        {"DesignCapacity", std::nullopt}}},
      {"charges that are not whole mAh round to the nearest",
       {{"BAT0",
         with(chargeBasedBattery(), {{"charge_now", "3402600"}, {"charge_full", "4080400"}})}},
       {{"AppleRawCurrentCapacity", "3403"}, {"AppleRawMaxCapacity", "4080"}}},
      {"a pack without a design charge or sensor beside one with them",
       {{"BAT0", without(chargeBasedBattery(), {"charge_full_design", "temp"})},
        {"BAT1", with(chargeBasedBattery(), {{"temp", "455"}})}},
       {{"DesignCapacity", std::nullopt},
        {"Temperature", "4550"},
        {"AppleRawMaxCapacity", "8160"}}},
      {"numbers at the edges saturate, their sign kept",
       {{"BAT0", with(chargeBasedBattery(),
                      {{"current_now", "-9223372036854775808"}, {"temp", "-9223372036854775808"}})},
        {"BAT1", with(energyOnlyBattery(), {{"status", "Discharging"},
                                            {"energy_now", "9223372036854775807"},
                                            {"energy_full", "9223372036854775807"},
                                            {"energy_full_design", "9223372036854775807"},
                                            {"voltage_min_design", "1"},
                                            {"power_now", "0"}})}},
       {{"AppleRawCurrentCapacity", "2147483647"},
        {"InstantAmperage", "-2147483648"},
        {"Temperature", "-2147483648"}}},
      {"a charger that is off is not overridden by an idle pack",
       {{"AC", testing_support::mainsAdapter(false)},
        {"BAT0", chargeBasedBattery()},
        {"BAT1", with(energyOnlyBattery(), {{"status", "Not charging"}})}},
       {{"ExternalConnected", "0"}, {"ExternalChargeCapable", "0"}, {"InstantAmperage", "-2567"}}},
      {"no supply shown: a draining pack beside a held one means on battery",
       {{"BAT0", chargeBasedBattery()},
        {"BAT1", with(chargeBasedBattery(), {{"status", "Not charging"}})}},
       {{"ExternalConnected", "0"}, {"InstantAmperage", "-2420"}}},
      {"no supply shown: a pack of unknown status beside a draining one drains too",
       {{"BAT0", with(chargeBasedBattery(), {{"current_now", "1000000"}})},
        {"BAT1", with(chargeBasedBattery(), {{"status", "Unknown"}, {"current_now", "500000"}})}},
       {{"InstantAmperage", "-1500"}, {"ExternalConnected", "0"}}},
      {"held at exactly 2 below the limit (78 of 80)",
       {{"AC", testing_support::mainsAdapter(true)}, {"BAT0", with(atLimit, {{"capacity", "78"}})}},
       {{"FullyCharged", "1"}, {"ExternalChargeCapable", "1"}}},
      {"no limit shown: not charging at exactly 90 %",
       {{"BAT0", without(with(atLimit, {{"capacity", "90"}}), {"charge_control_end_threshold"})}},
       {{"FullyCharged", "1"}}},
      {"a serial with bytes that are not text",
       {{"BAT0", with(chargeBasedBattery(), {{"serial_number",
                                              "AB\xff\x01"
                                              "C\xc3\xa9\x7f"}})}},
       {{"Serial", "ABC\xc3\xa9"}}},
  };
  for (const DriverCase& c : cases) {
    DeviceRoot root;
    for (const auto& [name, attributes] : c.supplies) writeSupply(root, "sys", name, attributes);
    for (const std::string& attribute : c.unreadable) {
      const std::string path = root.path() + "/sys/BAT0/" + attribute;
      std::filesystem::remove(path);
      std::filesystem::create_directory(path);  // a name that is not a file reads as EISDIR
    }
    const auto host = runProcess(
        SPRINGBOARD_SIM,
        {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "1"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    ASSERT_EQ(host.exitCode, 0) << c.name << host.err;
    const Plist status = brimwell::readDictionaryFile(root.path() + "/tmp/batteryStatus.plist");
    ASSERT_TRUE(status.isDictionary()) << c.name;
    for (const auto& [key, text] : c.status) {
      EXPECT_EQ(brimwell::textOf(status.item(key)), text) << c.name << ": " << key;
    }
  }
}

// The completion alert of a battery held at its limit: springboard-sim's lines are a phone's
// transcript; brimwelld, the laptop's service, says it in a laptop's words, with no phone's
// dialog title, button or sound file.
TEST(SysfsSourceThroughTheHost, ABatteryHeldAtItsLimitGivesTheCompletionAlert) {
  const std::string sim = SPRINGBOARD_SIM;
  const struct {
    std::string program;
    std::vector<std::string> args;  // the sysfs folder follows
    std::string lines;              // at the start, whole
  } cases[] = {
      {sim,
       {"--virtual-time", "--duration", "1", "--source"},
       "[00:00:00] dialog \"Message\" \"Charging is complete\" \"OK\"\n"
       "[00:00:00] vibrate\n"
       "[00:00:00] sound /System/Library/Audio/UISounds/alert_sound.wav\n"},
      {BRIMWELLD,
       {"--no-desktop-alerts", "--poll", "0.1", "--duration", "0.3", "--sysfs"},
       "[00:00:00] alert \"Charging is complete\"\n"
       "[00:00:00] alert sound\n"
       "[00:00:00] delivered 1 status change; the last: 80% 3264/4080 mAh 0 mA full\n"},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.runScenario("settings chargeMode=2 isPopAlert=true isVibrate=true isSound=true\n");
    writeSupply(root, "sys", "AC", testing_support::mainsAdapter(true));
    auto battery = testing_support::chargeBasedBattery();
    battery["status"] = "Not charging";
    battery["capacity"] = "80";
    battery["charge_control_end_threshold"] = "80";
    battery["charge_now"] = "3264000";
    battery["current_now"] = "0";
    writeSupply(root, "sys", "BAT0", battery);
    std::vector<std::string> args = c.args;
    args.push_back(c.program == sim ? "sysfs=" + root.path() + "/sys" : root.path() + "/sys");
    const auto host =
        runProcess(c.program, args, {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
    ASSERT_EQ(host.exitCode, 0) << host.err;
    EXPECT_EQ(host.out.substr(0, c.lines.size()), c.lines) << host.out;
    EXPECT_EQ(host.err.rfind(c.program.substr(c.program.rfind('/') + 1) + ": ", 0), 0u) << host.err;
  }
}

// A level alert and the completion test read the level the driver gives, whatever it leaves out.
TEST(SysfsSourceThroughTheHost, ABatteryGivingOnlyAPercentageAlertsAtItsLevel) {
  for (const char* level : {"45", "80"}) {
    DeviceRoot root;
    root.runScenario("settings chargeMode=0 alertLevel=80 isPopAlert=true\n");
    writeSupply(root, "sys", "AC", testing_support::mainsAdapter(true));
    writeSupply(root, "sys", "BAT0",
                {{"type", "Battery"}, {"status", "Charging"}, {"capacity", level}});
    const auto host = runProcess(
        SPRINGBOARD_SIM,
        {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "1"},
        {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
    ASSERT_EQ(host.exitCode, 0) << host.err;
    EXPECT_EQ(host.out.find("Charging is complete"), std::string::npos) << level << host.out;
    EXPECT_EQ(host.out.find("Charging has reached 80%") != std::string::npos,
              std::string(level) == "80")
        << level << host.out;
  }
}

TEST(SysfsSourceThroughTheHost, NoBatteryIsSaidInOneLine) {
  for (const char* layout : {"empty", "AC only"}) {
    DeviceRoot root;
    root.writeLaptopSettings();
    std::filesystem::create_directories(root.path() + "/sys");
    if (std::string(layout) == "AC only")
      writeSupply(root, "sys", "AC", testing_support::mainsAdapter(true));
    const auto host = runProcess(
        SPRINGBOARD_SIM,
        {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "5"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_EQ(host.exitCode, 0) << layout;
    EXPECT_EQ(host.err,
              "springboard-sim: no battery found in " + root.path() + "/sys; waiting for one\n")
        << layout;
    EXPECT_FALSE(root.hasStatusFile()) << layout;
  }
  // A folder that is not there, or is a file, is a mistyped path: an error, not a wait.
  for (const auto& [name, why] :
       {std::pair{"absent", "does not exist"}, {"file", "is not a folder"}}) {
    DeviceRoot root;
    root.write("file", "");
    const std::string folder = root.path() + "/" + name;
    const auto host = runProcess(
        SPRINGBOARD_SIM, {"--source", "sysfs=" + folder, "--virtual-time", "--duration", "5"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_EQ(host.exitCode, 2) << name;
    EXPECT_EQ(host.err, "springboard-sim: the power-supply folder " + folder + " " + why + "\n");
  }
  // A battery with no percent to be had is present all the same: its level in its driver's
  // word, or unknown, said once; no charge, no times, and on the charger no alert (the missing
  // charge read as 0 of 0 would be a charge complete).
  const struct {
    const char* name;
    testing_support::SupplyAttributes battery;
    const char* word;
    const char* bar;      // polybar's line
    const char* warning;  // the host's line, where it warns
  } coarse[] = {
      {"a charge without a full one",
       {{"type", "Battery"}, {"status", "Discharging"}, {"charge_now", "3402000"}},
       "Unknown",
       "Unknown",
       ""},
      {"only a level word",
       {{"type", "Battery"}, {"status", "Discharging"}, {"capacity_level", "Low"}},
       "Low",
       "%{F#ff8000}Low%{F-}",
       "low-battery low level Low"},
      {"a capacity that is not a number beside a word",
       {{"type", "Battery"},
        {"status", "Discharging"},
        {"capacity", "n/a"},
        {"capacity_level", "Critical"}},
       "Critical",
       "%{F#cc0000}Critical%{F-}",
       "low-battery critical level Critical"},
      {"charging on a word",
       {{"type", "Battery"}, {"status", "Charging"}, {"capacity_level", "Normal"}},
       "Normal",
       "%{F#00bf00}Normal%{F-}",
       ""},
      {"a word the kernel does not have",
       {{"type", "Battery"}, {"status", "Discharging"}, {"capacity_level", "Weird"}},
       "Unknown",
       "Unknown",
       ""},
  };
  for (const auto& c : coarse) {
    DeviceRoot root;
    root.writeSettings(
        "<key>chargeMode</key><integer>1</integer><key>isPopAlert</key><true/>"
        "<key>alertLevel</key><integer>1</integer>"
        "<key>lowLevel</key><integer>20</integer>");
    writeSupply(root, "sys", "BAT0", c.battery);
    const auto host = runProcess(
        SPRINGBOARD_SIM,
        {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "90"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_EQ(host.exitCode, 0) << c.name;
    EXPECT_NE(host.err.find("BAT0 gives no percent (no capacity that is a number, and no charge "
                            "or energy beside a full or design value): its level is shown as its "
                            "driver words it, or as unknown, with no times until it gives one\n"),
              std::string::npos)
        << c.name << host.err;
    EXPECT_EQ(host.out.find("dialog"), std::string::npos) << c.name << host.out;
    EXPECT_EQ(host.out.find("low-battery") == std::string::npos
                  ? ""
                  : host.out.substr(host.out.find("low-battery"), std::strlen(c.warning)),
              c.warning)
        << c.name << host.out;
    const Plist status = brimwell::readDictionaryFile(root.path() + "/tmp/batteryStatus.plist");
    EXPECT_EQ(brimwell::textOf(status.item("BatteryLevelWord")), c.word) << c.name;
    EXPECT_EQ(status.item("AppleRawCurrentCapacity"), nullptr) << c.name;
    EXPECT_EQ(status.item("AvgTimeToEmpty"), nullptr) << c.name;
    const auto bar =
        runProcess(BRIMWELL_VIEWER, {"--format", "polybar"}, {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_EQ(bar.out, std::string(c.bar) + "\n") << c.name;
  }
}

// Where a text was first drawn on a terminal: the last cursor move before it, "row;column".
std::string drawnAt(const std::string& screen, const std::string& text) {
  const std::string before = screen.substr(0, screen.find(text));
  const std::regex move("\x1b\\[([0-9]+;[0-9]+)H");
  std::string at = "(no move)";
  for (auto m = std::sregex_iterator(before.begin(), before.end(), move);
       m != std::sregex_iterator(); ++m)
    at = (*m)[1];
  return at;
}

// On a terminal the host shows the source's notices in its status bar, and of a laptop only what
// is true of it: no phone's lock screen, whose charging line ("Charging is complete" at 3 % on
// battery, with the laptop's chargeMode 2) would say what is not so.
TEST(SysfsSourceOnATerminal, TheNoticesAndNoPhone) {
  const struct {
    const char* name;
    std::vector<std::pair<std::string, testing_support::SupplyAttributes>> supplies;
    std::vector<std::string> shown;  // "row;column TEXT": drawn there
    std::vector<std::string> notShown;
    std::string recorded = "";  // a status replayed instead
  } cases[] = {
      {"no battery", {}, {"/sys; waiting for one"}, {"phone,"}},
      {"3 % on battery",
       {{"AC", testing_support::mainsAdapter(false)},
        {"BAT0", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "3"}}}},
       {"3;3 3 %, on battery", "4;3 time to empty: estimating"},
       {"Charging is", "Not charging", "phone,", "lock/unlock"}},
      {"a mouse beside the battery",
       {{"BAT0", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "3"}}},
        {"hidpp_battery_0", testing_support::hidppMouse()}},
       {"device added: MX Master 3 (usb)"},
       {"phone,"}},
      {"a recording of a laptop",
       {},
       {"3;3 3 %, on battery"},
       {"Charging is", "phone,"},
       "<key>AppleRawCurrentCapacity</key><integer>120</integer>"
       "<key>AppleRawMaxCapacity</key><integer>4000</integer>"
       "<key>CurrentCapacity</key><integer>3</integer>"
       "<key>ChargingState</key><string>discharging</string>"},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    root.writeLaptopSettings();
    const std::string sys = root.path() + "/sys";
    std::filesystem::create_directories(sys);
    for (const auto& [name, attributes] : c.supplies) writeSupply(root, "sys", name, attributes);
    const std::string source =
        c.recorded.empty()
            ? "sysfs=" + sys
            : "replay=" + root.write("laptop.plist", "<?xml version=\"1.0\"?><plist><array><dict>" +
                                                         c.recorded + "</dict></array></plist>");
    const auto host = testing_support::runOnTerminal(
        SPRINGBOARD_SIM, {"--source", source, "--poll", "0.5", "--duration", "1"},
        {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}, {"TERM", "xterm-256color"}},
        200, 40, 30, c.recorded.empty() ? "" : "q");  // a recording played to its end waits
    EXPECT_EQ(host.exitCode, 0) << c.name;
    for (const std::string& text : c.shown) {
      const bool placed = std::isdigit(static_cast<unsigned char>(text[0]));
      const std::string drawn = placed ? text.substr(text.find(' ') + 1) : text;
      EXPECT_NE(host.out.find(drawn), std::string::npos) << c.name << ": " << text << host.out;
      if (placed) {
        EXPECT_EQ(drawnAt(host.out, drawn) + " " + drawn, text) << c.name;
      }
    }
    for (const std::string& text : c.notShown) {
      EXPECT_EQ(host.out.find(text), std::string::npos) << c.name << ": " << text << host.out;
    }
  }
}

// SIGTERM and SIGINT end the host at once, even while it sleeps half a minute, with exit 0 and
// the status file whole.
TEST(SysfsSourceThroughTheHost, StopsCleanlyOnASignal) {
  for (const int signal : {SIGTERM, SIGINT}) {
    DeviceRoot root;
    writeSupply(root, "sys", "BAT0", testing_support::chargeBasedBattery());
    auto vectors = testing_support::spawnVectors(
        SPRINGBOARD_SIM, {"--source", "sysfs=" + root.path() + "/sys", "--headless"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, SPRINGBOARD_SIM, &actions, nullptr, vectors.argv.data(),
                          vectors.envp.data()),
              0);
    posix_spawn_file_actions_destroy(&actions);
    for (int waited = 0; waited < 500 && !root.hasStatusFile(); ++waited) usleep(10000);
    ASSERT_TRUE(root.hasStatusFile()) << "the first reading was delivered";
    usleep(200000);  // asleep until the next reading, 30 s away
    const auto sent = std::chrono::steady_clock::now();
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << strsignal(signal);
    EXPECT_LT(seconds, 1.0) << strsignal(signal);
    EXPECT_TRUE(
        brimwell::readDictionaryFile(root.path() + "/tmp/batteryStatus.plist").isDictionary());
  }
}

}  // namespace

// The user's other batteries, read while brimwelld runs: a mouse that gives only a word, a
// Bluetooth mouse that comes and goes, and the devices' status file written beside the
// battery's. A phone's run writes none.
TEST(SysfsSourceThroughTheHost, DevicesComeAndGoInTheirOwnFile) {
  DeviceRoot root;
  root.writeLaptopSettings();
  writeSupply(root, "sys", "AC", testing_support::mainsAdapter(true));
  writeSupply(root, "sys", "BAT0", testing_support::chargeBasedBattery());
  writeSupply(root, "sys", "hidpp_battery_0", testing_support::hidppMouse());
  testing_support::writeInput(root, "sys", "hidpp_battery_0", "input7", "MX Master 3",
                              testing_support::mouseInput());
  const std::string blue = "hid-aa:bb:cc:dd:ee:0f-battery";
  // Each step once the host has written the file for the one before, however slow its start.
  const auto fileHas = [&](const std::string& text) {
    for (int waited = 0; waited < 300; ++waited) {
      if (root.read(brimwell::kDevicesStatusPath).find(text) != std::string::npos) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  std::thread plugging([&] {
    fileHas("4089-a6-b1-c2");
    // Whole at once, as the kernel adds a node.
    writeSupply(root, "new", blue, testing_support::bluetoothMouse());
    testing_support::writeInput(root, "new", blue, "input9", "M336", testing_support::mouseInput());
    std::filesystem::rename(root.path() + "/new/" + blue, root.path() + "/sys/" + blue);
    fileHas("AA:BB:CC:DD:EE:0F");
    std::filesystem::remove_all(root.path() + "/sys/" + blue);
  });
  const auto host = runProcess(
      BRIMWELLD,
      {"--no-desktop-alerts", "--poll", "0.1", "--duration", "3", "--sysfs", root.path() + "/sys"},
      {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
  plugging.join();
  ASSERT_EQ(host.exitCode, 0) << host.err;
  for (const char* line : {"] device added: mouse MX Master 3 (usb)\n",
                           "] device added: Bluetooth Mouse M336 (bluetooth)\n",
                           "] device gone: Bluetooth Mouse M336 (bluetooth)\n"}) {
    EXPECT_EQ(host.out.find(line), host.out.rfind(line)) << line << host.out;
    EXPECT_NE(host.out.find(line), std::string::npos) << line << host.out;
  }
  const Plist file = brimwell::readDictionaryFile(root.path() + brimwell::kDevicesStatusPath);
  ASSERT_TRUE(file.isDictionary()) << host.out;
  const Plist* devices = file.item(brimwell::device_key::kDevices);
  ASSERT_TRUE(devices && devices->size() == 2) << root.read(brimwell::kDevicesStatusPath);
  const struct {
    const char* id;
    const char* level;  // the key that holds it
    const char* value;
    bool connected;
  } expected[] = {{"address:AA:BB:CC:DD:EE:0F", brimwell::device_key::kLevel, "41", false},
                  {"serial:4089-a6-b1-c2", brimwell::device_key::kLevelWord, "Normal", true}};
  for (size_t i = 0; i < 2; ++i) {
    const Plist& d = devices->at(i);
    EXPECT_EQ(brimwell::textOf(d.item(brimwell::device_key::kId)), expected[i].id);
    EXPECT_EQ(brimwell::textOf(d.item(expected[i].level)), expected[i].value) << expected[i].id;
    EXPECT_EQ(brimwell::textOf(d.item(brimwell::device_key::kConnected)),
              expected[i].connected ? "1" : "0")
        << expected[i].id;
  }

  // Restarted (the next login) with the receiver's mouse switched off: both are kept as last
  // seen, and nothing is said of them.
  std::filesystem::remove_all(root.path() + "/sys/hidpp_battery_0");
  const auto restarted = runProcess(BRIMWELLD,
                                    {"--no-desktop-alerts", "--poll", "0.1", "--duration", "0.5",
                                     "--sysfs", root.path() + "/sys"},
                                    {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
  ASSERT_EQ(restarted.exitCode, 0) << restarted.err;
  EXPECT_EQ(restarted.out.find("] device "), std::string::npos) << restarted.out;
  const Plist kept = brimwell::readDictionaryFile(root.path() + brimwell::kDevicesStatusPath);
  const Plist* keptDevices = kept.item(brimwell::device_key::kDevices);
  ASSERT_TRUE(keptDevices && keptDevices->size() == 2) << root.read(brimwell::kDevicesStatusPath);
  for (size_t i = 0; i < 2; ++i) {
    const Plist& d = keptDevices->at(i);
    EXPECT_EQ(brimwell::textOf(d.item(brimwell::device_key::kId)), expected[i].id);
    EXPECT_EQ(brimwell::textOf(d.item(expected[i].level)), expected[i].value) << expected[i].id;
    EXPECT_EQ(brimwell::textOf(d.item(brimwell::device_key::kConnected)), "0") << expected[i].id;
    EXPECT_EQ(brimwell::textOf(d.item(brimwell::device_key::kLastSeen)),
              brimwell::textOf(devices->at(i).item(brimwell::device_key::kLastSeen)))
        << expected[i].id;
  }

  DeviceRoot phone;
  const auto sim = runProcess(SPRINGBOARD_SIM, {"--virtual-time", "--duration", "60"},
                              {{"SIM_DEVICE_ROOT", phone.path()}});
  ASSERT_EQ(sim.exitCode, 0) << sim.err;
  EXPECT_TRUE(phone.hasStatusFile());
  EXPECT_FALSE(std::filesystem::exists(phone.path() + brimwell::kDevicesStatusPath));
}

// A Bluetooth headset BlueZ knows at 8 %, beside the laptop's battery: in the devices' file.
// BlueZ restarting keeps it, not connected meanwhile, and says nothing of it.
TEST(SysfsSourceThroughTheHost, BluezHeadsetInTheDevicesFile) {
  using testing_support::MockBus;
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus bus;
  ASSERT_TRUE(bus.startTemplate("bluez5", "org.bluez", true));
  const std::string script =
      "import sys, dbus\n"
      "bus = dbus.bus.BusConnection(sys.argv[1])\n"
      "def iface(p, n): return dbus.Interface(bus.get_object(sys.argv[2], p), n)\n"
      "bluez = iface('/', 'org.bluez.Mock')\n";
  const auto owner =
      runProcess("/usr/bin/python3", {"-c",
                                      "import sys, dbus; print(dbus.bus.BusConnection(sys.argv[1])"
                                      ".get_name_owner('org.bluez'), end='')",
                                      bus.address()});
  ASSERT_EQ(owner.exitCode, 0) << owner.err;
  const auto drive = [&](const std::string& python) {
    return runProcess("/usr/bin/python3", {"-c", script + python, bus.address(), owner.out});
  };
  const auto driven = drive(
      "iface('/', 'org.freedesktop.DBus.Mock').AddMethod('org.bluez.Mock', 'Run', 's', '', "
      "'exec(args[0])')\n"
      "bluez.AddAdapter('hci0', 'laptop')\n"
      "p = bluez.AddDevice('hci0', 'AA:BB:CC:DD:EE:01', 'WH-1000XM4')\n"
      "mock = iface(p, 'org.freedesktop.DBus.Mock')\n"
      "mock.UpdateProperties('org.bluez.Device1', {'Icon': 'audio-headset'})\n"
      "bluez.ConnectDevice('hci0', 'AA:BB:CC:DD:EE:01')\n"
      "mock.AddProperties('org.bluez.Battery1', {'Percentage': dbus.Byte(8)})\n");
  ASSERT_EQ(driven.exitCode, 0) << driven.err;
  DeviceRoot root;
  root.writeLaptopSettings();
  writeSupply(root, "sys", "BAT0", testing_support::chargeBasedBattery());
  const auto fileHas = [&](const std::string& text) {
    for (int waited = 0; waited < 300; ++waited) {
      if (root.read(brimwell::kDevicesStatusPath).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  std::string whileAway;
  std::thread restarting([&] {
    fileHas("<true/>");
    drive("bluez.Run(\"self.bus_name.get_bus().release_name('org.bluez')\")\n");
    if (fileHas("<false/>")) whileAway = root.read(brimwell::kDevicesStatusPath);
    drive("bluez.Run(\"self.bus_name.get_bus().request_name('org.bluez')\")\n");
  });
  const auto host = runProcess(
      BRIMWELLD,
      {"--no-desktop-alerts", "--poll", "0.1", "--duration", "3", "--sysfs", root.path() + "/sys"},
      {{"SIM_DEVICE_ROOT", root.path()},
       {"SIM_LANGUAGES", "en"},
       {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
  restarting.join();
  ASSERT_EQ(host.exitCode, 0) << host.err;
  const std::string added = "] device added: headset WH-1000XM4 (bluetooth)\n";
  EXPECT_NE(host.out.find(added), std::string::npos) << host.out;
  EXPECT_EQ(host.out.find(added), host.out.rfind(added)) << host.out;
  EXPECT_EQ(host.out.find("] device gone"), std::string::npos) << host.out;
  EXPECT_NE(whileAway.find("address:AA:BB:CC:DD:EE:01"), std::string::npos) << whileAway;
  const Plist file = brimwell::readDictionaryFile(root.path() + brimwell::kDevicesStatusPath);
  const Plist* devices = file.item(brimwell::device_key::kDevices);
  ASSERT_TRUE(devices && devices->size() == 1) << root.read(brimwell::kDevicesStatusPath);
  const Plist& headset = devices->at(0);
  EXPECT_EQ(brimwell::textOf(headset.item(brimwell::device_key::kId)), "address:AA:BB:CC:DD:EE:01");
  EXPECT_EQ(brimwell::textOf(headset.item(brimwell::device_key::kKind)), "headset");
  EXPECT_EQ(brimwell::textOf(headset.item(brimwell::device_key::kLevel)), "8");
  EXPECT_EQ(brimwell::textOf(headset.item(brimwell::device_key::kConnected)), "1");
}

// A device low on a laptop warns in the service's lines, once; a mouse whose word is Normal
// never.
TEST(SysfsSourceThroughTheHost, ALowDeviceWarnsOnceAndANormalWordNever) {
  DeviceRoot root;
  root.writeLaptopSettings();
  writeSupply(root, "sys", "AC", testing_support::mainsAdapter(true));
  writeSupply(root, "sys", "BAT0", testing_support::chargeBasedBattery());
  writeSupply(root, "sys", "hidpp_battery_0", testing_support::hidppMouse());
  testing_support::writeInput(root, "sys", "hidpp_battery_0", "input7", "MX Master 3",
                              testing_support::mouseInput());
  auto keyboard = testing_support::hidKeyboard();
  keyboard["capacity"] = "8";
  writeSupply(root, "sys", "hid-0003:1532:0258.0004-battery", keyboard);
  testing_support::writeInput(root, "sys", "hid-0003:1532:0258.0004-battery", "input8",
                              "BlackWidow", testing_support::keyboardInput());
  const auto host = runProcess(
      BRIMWELLD,
      {"--no-desktop-alerts", "--poll", "0.1", "--duration", "1", "--sysfs", root.path() + "/sys"},
      {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
  ASSERT_EQ(host.exitCode, 0) << host.err;
  const std::string line = "] device low: Keyboard Razer BlackWidow V3 Mini: 8 % left\n";
  EXPECT_NE(host.out.find(line), std::string::npos) << host.out;
  EXPECT_EQ(host.out.find(line), host.out.rfind(line)) << host.out;
  EXPECT_EQ(host.out.find("MX Master 3:"), std::string::npos) << host.out;

  // Restarted (the next login) with the keyboard still at 8 %: not warned about again.
  const std::vector<std::string> args = {
      "--no-desktop-alerts", "--poll", "0.1", "--duration", "1", "--sysfs", root.path() + "/sys"};
  const std::map<std::string, std::optional<std::string>> env = {{"SIM_DEVICE_ROOT", root.path()},
                                                                 {"SIM_LANGUAGES", "en"}};
  const auto restarted = runProcess(BRIMWELLD, args, env);
  ASSERT_EQ(restarted.exitCode, 0) << restarted.err;
  EXPECT_EQ(restarted.out.find("] device low"), std::string::npos) << restarted.out;

  // Charged to 12 % meanwhile: above its level. Its level raised while the host runs warns at
  // once, with no change of the device.
  keyboard["capacity"] = "12";
  writeSupply(root, "sys", "hid-0003:1532:0258.0004-battery", keyboard);
  const std::string devicesFile = root.path() + brimwell::kDevicesStatusPath;
  const auto written = std::filesystem::last_write_time(devicesFile);
  std::thread raising([&] {
    for (int waited = 0; waited < 300; ++waited) {
      if (std::filesystem::last_write_time(devicesFile) != written) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    runProcess(BRIMWELL_PREFS, {"device", "Razer BlackWidow V3 Mini", "lowLevel", "15"}, env);
  });
  auto raisedArgs = args;
  raisedArgs[4] = "2.5";
  const auto raised = runProcess(BRIMWELLD, raisedArgs, env);
  raising.join();
  ASSERT_EQ(raised.exitCode, 0) << raised.err;
  EXPECT_NE(raised.out.find("] device low: Keyboard Razer BlackWidow V3 Mini: 12 % left\n"),
            std::string::npos)
      << raised.out;
}
