// Status changes through the built springboard-sim with the built Brimwell.dylib loaded.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

#include "common/dictionary_file.h"
#include "tests/support/device_root.h"

namespace {

using testing_support::DeviceRoot;
using testing_support::plistXml;

const std::string kHost = "host batteryStatusDidChange:\n";
const std::string kSound = "sound /System/Library/Audio/UISounds/alert_sound.wav\n";
const std::string kLevel80 = "dialog \"Message\" \"Charging has reached 80%\" \"OK\"\n";
const std::string kComplete = "dialog \"Message\" \"Charging is complete\" \"OK\"\n";
const std::string kFullAndPowered =
    "status AppleRawCurrentCapacity=1000 AppleRawMaxCapacity=1000 ExternalConnected=true "
    "FullyCharged=true\n";

struct Case {
  const char* name;
  std::string scenario;
  std::string transcript;
};

void runCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    DeviceRoot root;
    const auto result = root.runScenario(c.scenario);
    EXPECT_EQ(result.exitCode, 0) << c.name << "\n" << result.err;
    EXPECT_EQ(result.out, c.transcript) << c.name;
    EXPECT_EQ(result.err, "") << c.name;
  }
}

TEST(PluginAlerts, LevelAlert) {
  runCases({
      {"53 % at 530 of 1000 (52 %)",
       "settings alertLevel=53\nstatus AppleRawCurrentCapacity=530 AppleRawMaxCapacity=1000 "
       "ExternalConnected=true\n",
       kHost},
      {"53 % at 531 of 1000",
       "settings alertLevel=53\nstatus AppleRawCurrentCapacity=531 AppleRawMaxCapacity=1000 "
       "ExternalConnected=true\n",
       "dialog \"Message\" \"Charging has reached 53%\" \"OK\"\n" + kHost},
      {"equality counts, once per period, whatever isRepeat says",
       "settings alertLevel=80 isRepeat=true isVibrate=true\n"
       "status AppleRawCurrentCapacity=800 AppleRawMaxCapacity=1000 ExternalConnected=true\n"
       "status AppleRawCurrentCapacity=850 AppleRawMaxCapacity=1000 ExternalConnected=true\n",
       kLevel80 + "vibrate\n" + kHost + kHost},
      {"100 is off like 0", "settings alertLevel=100\n" + kFullAndPowered, kHost},
      {"negative level at the first record with power; shown with isPopAlert off",
       "settings alertLevel=-5 isPopAlert=false\nstatus ExternalChargeCapable=true\n",
       "dialog \"Message\" \"Charging has reached -5%\" \"OK\"\n" + kHost},
      {"max 0 with a positive charge",
       "settings alertLevel=99\nstatus AppleRawCurrentCapacity=5 AppleRawMaxCapacity=0 "
       "ExternalConnected=true\n",
       "dialog \"Message\" \"Charging has reached 99%\" \"OK\"\n" + kHost},
      {"no power: nothing, and the settings are not read",
       "settings alertLevel=10\nstatus AppleRawCurrentCapacity=900 AppleRawMaxCapacity=1000\n",
       kHost},
  });
}

TEST(PluginAlerts, CompletionAlert) {
  runCases({
      {"no settings file: nothing visible or audible", kFullAndPowered, kHost},
      {"chargeMode 2 needs FullyCharged",
       "settings chargeMode=2 isPopAlert=true\nstatus AppleRawCurrentCapacity=1000 "
       "AppleRawMaxCapacity=1000 ExternalConnected=true FullyCharged=false\n",
       kHost},
      {"chargeMode 0 needs equal capacities",
       "settings chargeMode=0 isPopAlert=true\nstatus AppleRawCurrentCapacity=990 "
       "AppleRawMaxCapacity=1000 ExternalConnected=true FullyCharged=true\n",
       kHost},
      {"chargeMode 3 and -1 never",
       "settings chargeMode=3 isPopAlert=true\n" + kFullAndPowered +
           "settings chargeMode=-1 isPopAlert=true\n" + kFullAndPowered,
       kHost + kHost},
      {"isRepeat on: dialog once, vibration every record",
       "settings isRepeat=true isPopAlert=true isVibrate=true\n" + kFullAndPowered +
           kFullAndPowered + kFullAndPowered,
       kComplete + "vibrate\n" + kHost + "vibrate\n" + kHost + "vibrate\n" + kHost},
      {"isRepeat off with everything off still spends the alert until the power goes",
       "settings\n" + kFullAndPowered + "settings isPopAlert=true\n" + kFullAndPowered +
           "status ExternalConnected=false\n" + kFullAndPowered,
       kHost + kHost + kHost + kComplete + kHost},
      {"ExternalChargeCapable alone keeps the period going",
       "settings isPopAlert=true\n" + kFullAndPowered +
           "status ExternalConnected=false ExternalChargeCapable=true\n" + kFullAndPowered,
       kComplete + kHost + kHost + kHost},
      {"both alerts in one call, in order",
       "settings alertLevel=90 isPopAlert=true isVibrate=true isSound=true\n" + kFullAndPowered,
       "dialog \"Message\" \"Charging has reached 90%\" \"OK\"\nvibrate\n" + kSound + kComplete +
           "vibrate\n" + kSound + kHost},
      {"missing capacities are equal zeros under chargeMode 0",
       "settings isPopAlert=true\nstatus ExternalConnected=true\n", kComplete + kHost},
  });
}

TEST(PluginAlerts, SettingsAreReadAfreshAndByThePlatformRules) {
  runCases({
      {"a change between two records counts at the second",
       "settings isPopAlert=false\n" + kFullAndPowered + "status ExternalConnected=false\n" +
           "settings isPopAlert=true\n" + kFullAndPowered,
       kHost + kHost + kComplete + kHost},
      {"strings read by the string rules",
       "settings isPopAlert=\" yes\" alertLevel=\"80%\" chargeMode=\"2abc\"\n" + kFullAndPowered,
       kLevel80 + kComplete + kHost},
  });
  // A settings file that is not exactly a property list reads as all zero, whatever it holds.
  const std::string atOnePercent =
      "status AppleRawCurrentCapacity=10 AppleRawMaxCapacity=1000 ExternalConnected=true\n";
  for (const std::string& bytes :
       {std::string(),
        plistXml("<key>alertLevel</key><integer>99999999999999999999</integer>"
                 "<key>isVibrate</key><true/>"),
        plistXml("<key>alertLevel</key><integer>41x20</integer><key>isVibrate</key><true/>"),
        plistXml("<key>isVibrate</key><true/><key>alertLevel</key>")}) {
    DeviceRoot root;
    root.write("raw.plist", bytes);
    const auto result = root.runScenario("settings-raw " + root.path() + "/raw.plist\n" +
                                         atOnePercent + kFullAndPowered);
    EXPECT_EQ(result.out, kHost + kHost) << bytes;
  }
  // 2^64-1 saturates at the top, so the level is never reached (it once read as -1).
  runCases({{"an unsigned level",
             "settings alertLevel=18446744073709551615 isVibrate=true\n" + atOnePercent, kHost}});
  // A date, data, array or dictionary under a key reads as 0/NO.
  DeviceRoot root;
  root.write("odd.plist", plistXml("<key>isPopAlert</key><date>2020-01-01T00:00:00Z</date>"
                                   "<key>alertLevel</key><array><integer>5</integer></array>"
                                   "<key>isVibrate</key><true/>"));
  const auto result =
      root.runScenario("settings-raw " + root.path() + "/odd.plist\n" + kFullAndPowered);
  EXPECT_EQ(result.out, "vibrate\n" + kHost);
}

TEST(PluginAlerts, DialogLanguageAndSound) {
  const struct {
    const char* languages;
    std::string transcript;
  } cases[] = {
      {"zh-Hans",
       "dialog \"\u63d0\u793a\" \"\u5145\u7535\u5df2\u5230\u8fbe 80%\" \"\u786e\u5b9a\"\n"
       "dialog \"\u63d0\u793a\" \"\u5145\u7535\u5df2\u5b8c\u6210\" \"\u786e\u5b9a\"\n"},
      {"zh-Hant",
       "dialog \"\u63d0\u793a\" \"\u5145\u96fb\u5df2\u5230\u8fbe 80%\" \"\u597d\"\n"
       "dialog \"\u63d0\u793a\" \"\u5145\u96fb\u5df2\u5b8c\u6210\" \"\u597d\"\n"},
      {"zh-HK,zh-Hans", kLevel80 + kComplete},
      {"zh-Hans-CN", kLevel80 + kComplete},
      {"ZH-HANS", kLevel80 + kComplete},
      {"fr", kLevel80 + kComplete},
      {"", kLevel80 + kComplete},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    const auto result =
        root.runScenario("settings alertLevel=80 isPopAlert=true\n" + kFullAndPowered, c.languages);
    EXPECT_EQ(result.out, c.transcript + kHost) << c.languages;
  }
  // The language line changes it between records.
  DeviceRoot root;
  const auto result =
      root.runScenario("settings isPopAlert=true\nlanguage zh-Hant\n" + kFullAndPowered);
  EXPECT_EQ(result.out,
            "dialog \"\u63d0\u793a\" \"\u5145\u96fb\u5df2\u5b8c\u6210\" \"\u597d\"\n" + kHost);

  DeviceRoot silent(false);
  const auto noSound =
      silent.runScenario("settings isSound=true isVibrate=true\n" + kFullAndPowered);
  EXPECT_EQ(noSound.out, "vibrate\n" + kHost) << "no sound file, no sound";
}

TEST(PluginStatusExport, EveryChangeWritesTheDictionaryUnchanged) {
  DeviceRoot root;
  const std::string delivered = plistXml(
      "<key>AppleRawCurrentCapacity</key><integer>1750</integer>"
      "<key>InstantAmperage</key><integer>-523</integer>"
      "<key>Temperature</key><integer>3056</integer>"
      "<key>Voltage</key><real>4.1199999999999997</real>"
      "<key>Serial</key><string>C0&lt;1&gt;</string>"
      "<key>AdapterDetails</key><dict><key>Watts</key><integer>5</integer>"
      "<key>Family</key><data>AAE=</data></dict>"
      "<key>Huge</key><integer>18446744073709551615</integer>"
      "<key>BatteryData</key><array><date>2014-09-19T08:30:00Z</date>"
      "<date>0001-01-01T00:00:00Z</date><date>1900-01-01T00:00:00Z</date>"
      "<date>2069-01-20T00:00:00Z</date><date>2100-06-01T00:00:00Z</date>"
      "<date>9999-12-31T23:59:59Z</date></array>");
  root.write("delivered.plist", delivered);
  const struct {
    const char* name;
    std::string settings;
    std::string power;
  } cases[] = {
      {"no power", "settings none\n", ""},
      {"power, alerts on", "settings alertLevel=1 isPopAlert=true isVibrate=true\n",
       "status ExternalConnected=true\n"},
  };
  for (const auto& c : cases) {
    const auto result = root.runScenario(c.settings + c.power + "status-file " + root.path() +
                                         "/delivered.plist\n");
    EXPECT_EQ(result.exitCode, 0) << c.name;
    // The host's handler runs exactly once for each record, last.
    const std::string out = result.out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n') > 0, true);
    EXPECT_EQ(out.substr(out.size() - kHost.size()), kHost) << c.name;
    EXPECT_TRUE(brimwell::readDictionaryFile(root.path() + "/tmp/batteryStatus.plist") ==
                brimwell::Plist::fromMemory(delivered))
        << c.name;
    EXPECT_NE(root.statusFile().find("<date>2100-06-01T00:00:00Z</date>"), std::string::npos);
  }
}

TEST(PluginStatusExport, ExactlyOneHostCallPerRecordInEveryBranch) {
  DeviceRoot root;
  const auto result = root.runScenario(
      "settings alertLevel=50 isRepeat=true isPopAlert=true isVibrate=true isSound=true\n"
      "status A=1\n" +
      kFullAndPowered + kFullAndPowered +
      "status ExternalConnected=false\nstatus ExternalChargeCapable=true "
      "AppleRawCurrentCapacity=1\n");
  size_t hostCalls = 0;
  for (size_t at = 0; (at = result.out.find(kHost, at)) != std::string::npos; at += kHost.size()) {
    ++hostCalls;
  }
  EXPECT_EQ(hostCalls, 5u);
  EXPECT_TRUE(root.hasStatusFile());
}

TEST(Host, BadScenarioRunsNothing) {
  DeviceRoot root;
  const auto result =
      root.runScenario("status ExternalConnected=true\nsettings isPopAlert=yes please\n");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "line 2: expected KEY=VALUE, got 'please'\n");
  EXPECT_FALSE(root.hasStatusFile());
}

TEST(Host, APlugInThatFailsToLoadIsReportedAndSkipped) {
  DeviceRoot root;
  root.write("/Library/MobileSubstrate/DynamicLibraries/Aardvark.dylib", "not an ELF file");
  root.write("/Library/MobileSubstrate/DynamicLibraries/notes.txt", "not a plug-in");
  const auto result = root.runScenario("settings isPopAlert=true\n" + kFullAndPowered);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, kComplete + kHost);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
  EXPECT_NE(result.err.find("cannot load Aardvark.dylib"), std::string::npos) << result.err;
}

TEST(Host, CommandLine) {
  using testing_support::runProcess;
  EXPECT_EQ(runProcess(SPRINGBOARD_SIM, {"--help"}).exitCode, 0);
  EXPECT_EQ(runProcess(SPRINGBOARD_SIM, {"--bogus"}).exitCode, 2);
}

TEST(Host, AScriptIsReadLikeEveryOtherInput) {
  using testing_support::runProcess;
  DeviceRoot root;
  mkfifo((root.path() + "/fifo").c_str(), 0600);
  std::string huge(1024 * 1024, '#');
  const struct {
    std::string path;
    std::string input;
    std::string why;
  } cases[] = {
      {"/no/such/scenario", "", "No such file or directory"},
      {root.path() + "/fifo", "", "not a regular file"},
      {"/dev/zero", "", "not a regular file"},
      {root.write("huge.txt", huge + "\n"), "", "larger than 1 MiB"},
      {"-", huge + "\n", "larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    const auto result = runProcess(SPRINGBOARD_SIM, {"--script", c.path},
                                   {{"SIM_DEVICE_ROOT", root.path()}}, c.input);
    EXPECT_EQ(result.exitCode, 2) << c.path;
    EXPECT_EQ(result.err, "springboard-sim: cannot read " + c.path + ": " + c.why + "\n");
  }
  // Exactly at the limit is a scenario like any other.
  const auto atLimit =
      runProcess(SPRINGBOARD_SIM, {"--script", "-"}, {{"SIM_DEVICE_ROOT", root.path()}},
                 std::string(1024 * 1024 - 1, '#') + "\n");
  EXPECT_EQ(atLimit.exitCode, 0) << atLimit.err;
}

TEST(PluginExports, ThirteenVariablesAndNoFunction) {
  const auto nm =
      testing_support::runProcess("/usr/bin/nm", {"-D", "--defined-only", "-S", BRIMWELL_DYLIB});
  ASSERT_EQ(nm.exitCode, 0) << nm.err;
  std::map<std::string, std::pair<char, unsigned long>> symbols;  // name -> (kind, size)
  std::istringstream lines(nm.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string address, size, kind, name;
    fields >> address >> size >> kind >> name;
    if (name.empty()) continue;  // linker-made markers carry no size
    symbols[name] = {kind[0], std::stoul(size, nullptr, 16)};
  }
  const std::map<std::string, unsigned long> expected = {{"currentCapacity", 4},
                                                         {"maxCapacity", 4},
                                                         {"instantAmperage", 4},
                                                         {"designCapacity", 4},
                                                         {"cycleCount", 4},
                                                         {"temperature", 4},
                                                         {"isCharging", 1},
                                                         {"externalConnected", 1},
                                                         {"externalChargeCapable", 1},
                                                         {"isContentViewInited", 1},
                                                         {"containView", sizeof(void*)},
                                                         {"remainingTime", sizeof(void*)},
                                                         {"batteryLevel", sizeof(void*)}};
  std::map<std::string, unsigned long> sizes;
  for (const auto& [name, entry] : symbols) {
    EXPECT_TRUE(entry.first == 'B' || entry.first == 'D') << name << " is not a variable";
    sizes[name] = entry.second;
  }
  EXPECT_EQ(sizes, expected);
}

}  // namespace

namespace {

TEST(PrefsWithThePlugIn, WhatTheToolWritesThePlugInReads) {
  testing_support::DeviceRoot root;
  const std::map<std::string, std::optional<std::string>> env = {{"SIM_DEVICE_ROOT", root.path()}};
  for (const auto& args : std::vector<std::vector<std::string>>{{"set", "alertLevel", "80"},
                                                                {"set", "isPopAlert", "on"},
                                                                {"set", "isVibrate", "1"},
                                                                {"set", "chargeMode", "2"}}) {
    ASSERT_EQ(testing_support::runProcess(BRIMWELL_PREFS, args, env).exitCode, 0);
  }
  const auto result = root.runScenario(
      "status AppleRawCurrentCapacity=990 AppleRawMaxCapacity=1000 ExternalConnected=true "
      "FullyCharged=true\n");
  EXPECT_EQ(result.out, kLevel80 + "vibrate\n" + kComplete + "vibrate\n" + kHost);
}

}  // namespace
