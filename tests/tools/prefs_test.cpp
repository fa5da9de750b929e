#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include "charge/charge_bus.h"
#include "common/device_keys.h"
#include "common/dictionary_file.h"
#include "common/laptop_settings.h"
#include "common/value_conversions.h"
#include "tests/support/background_process.h"
#include "tests/support/mock_bus.h"
#include "tests/support/other_user.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/silent_bus.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"
#include "tools/prefs_app.h"
#include "tools/prefs_charge.h"
#include "tools/prefs_charge_bus.h"
#include "tools/prefs_settings.h"

namespace {

using testing_support::plistXml;
using testing_support::TempDir;

const char* kSettings = "/var/mobile/Library/Preferences/org.tarnel.Brimwell.plist";

TEST(PrefsValues, BooleansAndIntegers) {
  const struct {
    const char* text;
    std::optional<bool> boolean;
    std::optional<int32_t> integer;
    std::optional<double> real;
  } cases[] = {
      {"on", true, std::nullopt, std::nullopt},
      {"OFF", false, std::nullopt, std::nullopt},
      {"Yes", true, std::nullopt, std::nullopt},
      {"no", false, std::nullopt, std::nullopt},
      {"true", true, std::nullopt, std::nullopt},
      {"False", false, std::nullopt, std::nullopt},
      {"1", true, 1, 1},
      {"0", false, 0, 0},
      {"80", std::nullopt, 80, 80},
      {"-5", std::nullopt, -5, std::nullopt},
      {"2147483647", std::nullopt, INT32_MAX, 2147483647.0},
      {"2147483648", std::nullopt, std::nullopt, 2147483648.0},
      {"8O", std::nullopt, std::nullopt, std::nullopt},
      {" 8", std::nullopt, std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt, std::nullopt},
      {"y", std::nullopt, std::nullopt, std::nullopt},
      {"2", std::nullopt, 2, 2},
      {"2.5", std::nullopt, std::nullopt, 2.5},
      {".5", std::nullopt, std::nullopt, 0.5},
      {"5.", std::nullopt, std::nullopt, 5},
      {".", std::nullopt, std::nullopt, std::nullopt},
      {"1.2.3", std::nullopt, std::nullopt, std::nullopt},
      {"1e1", std::nullopt, std::nullopt, std::nullopt},
      {"0x10", std::nullopt, std::nullopt, std::nullopt},
      {"inf", std::nullopt, std::nullopt, std::nullopt},
      {"2.5 ", std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(prefs::parseBoolean(c.text), c.boolean) << c.text;
    EXPECT_EQ(prefs::parseInteger(c.text), c.integer) << c.text;
    EXPECT_EQ(prefs::parseReal(c.text), c.real) << c.text;
  }
}

class Prefs : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.set("SIM_DEVICE_ROOT", root_.path());
    env_.set("DBUS_SYSTEM_BUS_ADDRESS", testing_support::kNoSystemBus);
  }

  int run(std::vector<const char*> args) {
    args.insert(args.begin(), "brimwell-prefs");
    out_.str("");
    err_.str("");
    return runPrefs(static_cast<int>(args.size()), args.data(), out_, err_);
  }
  brimwell::Plist file() const { return brimwell::readDictionaryFile(root_.path() + kSettings); }

  TempDir root_;
  testing_support::ScopedEnvironment env_;
  std::ostringstream out_, err_;
};

TEST_F(Prefs, SetUnsetResetKeepUnknownKeys) {
  root_.write(kSettings, testing_support::plistXml("<key>fromTheFuture</key><string>keep</string>"
                                                   "<key>isSound</key><true/>"));
  EXPECT_EQ(run({"set", "alertLevel", "80"}), 0);
  EXPECT_EQ(run({"set", "isPopAlert", "on"}), 0);
  EXPECT_EQ(run({"set", "textColor", "2"}), 0);
  EXPECT_EQ(run({"unset", "isSound"}), 0);
  EXPECT_EQ(run({"set", "sleepDrainAlert", "2.5"}), 0);
  brimwell::Plist d = file();
  EXPECT_EQ(d.item("sleepDrainAlert")->kind(), brimwell::Plist::Kind::Real);
  EXPECT_EQ(d.item("sleepDrainAlert")->realValue(), 2.5);
  EXPECT_EQ(d.item("alertLevel")->kind(), brimwell::Plist::Kind::Integer);
  EXPECT_EQ(brimwell::intValueOf(d.item("alertLevel")), 80);
  EXPECT_EQ(d.item("isPopAlert")->kind(), brimwell::Plist::Kind::Boolean);
  EXPECT_TRUE(brimwell::boolValueOf(d.item("isPopAlert")));
  EXPECT_EQ(d.item("isSound"), nullptr);
  EXPECT_EQ(brimwell::textOf(d.item("fromTheFuture")), "keep");

  EXPECT_EQ(run({"show"}), 0);
  EXPECT_NE(out_.str().find("alertLevel        80 "), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("isSound           off (default)"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("lowLevel          20 (default)"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("sleepDrainAlert   2.5  "), std::string::npos) << out_.str();
  for (const auto& [key, shown] : {std::pair{"sleepDrainAlert", "2.5\n"},
                                   {"lowLevel", "20 (default)\n"},
                                   {"isSound", "off (default)\n"}}) {
    EXPECT_EQ(run({"get", key}), 0) << key;
    EXPECT_EQ(out_.str(), shown);
  }

  // A device's own entry, by the name the user types.
  for (const std::vector<const char*>& args :
       {std::vector<const char*>{"device", "MX Master 3", "lowLevel", "15"},
        {"device", "MX Master 3", "mute"},
        {"device", "WH-1000XM4", "criticalLevel", "3"},
        {"device", "WH-1000XM4", "mute"},
        {"device", "WH-1000XM4", "unmute"},
        {"set", "deviceRemindHours", "6"}}) {
    EXPECT_EQ(run(args), 0) << args[2] << err_.str();
    EXPECT_EQ(err_.str(), "") << args[2];
  }
  d = file();
  const brimwell::Plist* mx = d.item("devices")->item("MX Master 3");
  EXPECT_EQ(mx->item("lowLevel")->kind(), brimwell::Plist::Kind::Integer);
  EXPECT_EQ(brimwell::intValueOf(mx->item("lowLevel")), 15);
  EXPECT_EQ(mx->item("mute")->kind(), brimwell::Plist::Kind::Boolean);
  EXPECT_TRUE(mx->item("mute")->booleanValue());
  EXPECT_EQ(d.item("devices")->item("WH-1000XM4")->size(), 1u) << "unmute drops mute";
  EXPECT_EQ(run({"device", "MX Master 3"}), 0);
  EXPECT_NE(out_.str().find(":\n  lowLevel         15\n  criticalLevel    5 (default)\n"
                            "  mute             on\n"),
            std::string::npos)
      << out_.str();
  EXPECT_EQ(run({"device", "Pen"}), 0);
  EXPECT_NE(out_.str().find("  lowLevel         10 (default)\n"), std::string::npos);
  EXPECT_EQ(run({"show"}), 0);
  // No devices file yet: each entry is of a device not seen.
  EXPECT_NE(out_.str().find("\nDevices, each with its settings (brimwell-prefs device NAME ...):\n"
                            "  \"MX Master 3\" (not seen): lowLevel 15, criticalLevel 5 "
                            "(default), mute on\n"
                            "  \"WH-1000XM4\" (not seen): lowLevel 10 (default), criticalLevel 3,\n"
                            "    mute off (default)\n"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("deviceRemindHours 6 "), std::string::npos) << out_.str();
  // Levels the wrong way round are kept, with a note, as the battery's are.
  EXPECT_EQ(run({"device", "MX Master 3", "lowLevel", "2"}), 0);
  EXPECT_EQ(err_.str(),
            "brimwell-prefs: note: device \"MX Master 3\": lowLevel 2, criticalLevel 5 are out "
            "of order: the host uses them sorted, low above critical\n");
  // Once the host has seen devices, a name none of them has is kept but said, naming them.
  root_.write(brimwell::kDevicesStatusPath,
              testing_support::plistXml(
                  "<key>Devices</key><array>"
                  "<dict><key>Name</key><string>MX Master 3</string>"
                  "<key>Kind</key><string>mouse</string>"
                  "<key>Serial</key><string>4089-a6</string></dict>"
                  "<dict><key>Name</key><string>WH-1000XM4</string>"
                  "<key>Address</key><string>AA:BB:CC:DD:EE:01</string></dict></array>"));
  const std::string unseen =
      "brimwell-prefs: note: no device \"No Such Mouse\" seen yet (seen: "
      "Mouse \"MX Master 3\", \"WH-1000XM4\"); kept for when it comes\n";
  const struct {
    const char* name;
    std::string said;
    const char* stored = nullptr;  // the entry it lands in, where not its own
  } named[] = {
      {"No Such Mouse", unseen},
      {"mx master 3", "brimwell-prefs: note: device \"MX Master 3\": lowLevel 2", "MX Master 3"},
      {"4089-A6", ""},
      {"aa:bb:cc:dd:ee:01", ""},
      {"MX Master", "brimwell-prefs: note: no device \"MX Master\" seen yet"}};
  for (const auto& n : named) {
    EXPECT_EQ(run({"device", n.name, "mute"}), 0) << n.name;
    EXPECT_EQ(err_.str().substr(0, n.said.size()), n.said) << n.name;
    EXPECT_EQ(err_.str().empty(), n.said.empty()) << n.name << err_.str();
    EXPECT_TRUE(file().item("devices")->item(n.stored ? n.stored : n.name)) << n.name;
    if (n.stored) {
      EXPECT_FALSE(file().item("devices")->item(n.name)) << "one entry a device";
    }
    EXPECT_EQ(run({"device", n.name, "reset"}), 0) << n.name;
  }
  // Every device seen, with the entry the host gives it (by serial, address or name, in any
  // case), and each entry of none of them, or of one that has another.
  for (const char* name : {"4089-A6", "Old Pen"}) EXPECT_EQ(run({"device", name, "mute"}), 0);
  EXPECT_EQ(run({"device", "mx master 3", "lowLevel", "12"}), 0);
  EXPECT_EQ(run({"show"}), 0);
  EXPECT_NE(out_.str().find("\nDevices, each with its settings (brimwell-prefs device NAME ...):\n"
                            "  Mouse \"MX Master 3\": lowLevel 10 (default), criticalLevel 5 "
                            "(default), mute on\n"
                            "  \"WH-1000XM4\": lowLevel 10 (default), criticalLevel 3, mute off "
                            "(default)\n"
                            "  \"Old Pen\" (not seen): lowLevel 10 (default), criticalLevel 5 "
                            "(default),\n    mute on\n"
                            "  \"mx master 3\" (not used: \"4089-A6\" is this device's entry): "
                            "lowLevel 12,\n    criticalLevel 5 (default), mute off (default)\n"),
            std::string::npos)
      << out_.str();
  // One device's settings, by any of its names, are those of the entry the host gives it.
  for (const char* name : {"MX Master 3", "mx master 3", "4089-a6"}) {
    EXPECT_EQ(run({"device", name}), 0);
    EXPECT_NE(out_.str().find(":\n  lowLevel         10 (default)\n  criticalLevel    5 (default)\n"
                              "  mute             on\n"),
              std::string::npos)
        << name << out_.str();
  }
  for (const char* name : {"4089-A6", "Old Pen", "mx master 3"})
    EXPECT_EQ(run({"device", name, "reset"}), 0);
  root_.write(brimwell::kDevicesStatusPath,
              testing_support::plistXml("<key>Devices</key><array/>"));
  EXPECT_EQ(run({"device", "MX", "mute"}), 0);
  EXPECT_EQ(
      err_.str(),
      "brimwell-prefs: note: no device \"MX\" seen yet (none seen); kept for when it comes\n");
  EXPECT_EQ(run({"device", "MX", "reset"}), 0);

  // A name typed in another case changes, and shows, the entry the host takes for it.
  EXPECT_EQ(run({"device", "wh-1000xm4", "criticalLevel", "9"}), 0);
  EXPECT_EQ(file().item("devices")->item("wh-1000xm4"), nullptr);
  EXPECT_EQ(brimwell::intValueOf(file().item("devices")->item("WH-1000XM4")->item("criticalLevel")),
            9);
  EXPECT_EQ(run({"device", "Wh-1000xm4"}), 0);
  EXPECT_NE(out_.str().find("  criticalLevel    9\n"), std::string::npos) << out_.str();

  EXPECT_EQ(run({"device", "MX Master 3", "reset"}), 0);
  EXPECT_EQ(file().item("devices")->item("MX Master 3"), nullptr);
  EXPECT_NE(file().item("devices")->item("WH-1000XM4"), nullptr);

  EXPECT_EQ(run({"reset"}), 0);
  d = file();
  EXPECT_EQ(d.size(), 1u);
  EXPECT_EQ(brimwell::textOf(d.item("fromTheFuture")), "keep");
  EXPECT_EQ(run({"device", "MX", "mute"}), 0);
  EXPECT_EQ(run({"device", "MX", "unmute"}), 0);
  EXPECT_EQ(file().item("devices"), nullptr) << "nothing of its own is no entry";
  EXPECT_EQ(run({"show"}), 0);
  EXPECT_NE(out_.str().find(
                "\nDevices: none seen, none with settings (brimwell-prefs device NAME ...)\n"),
            std::string::npos)
      << out_.str();
  // A hand-edited level the host cannot take as it stands is marked; one it can, not.
  root_.write(kSettings, plistXml("<key>devices</key><dict><key>Pen</key><dict><key>lowLevel</key>"
                                  "<string>15%</string><key>criticalLevel</key><string>3</string>"
                                  "</dict></dict>"));
  EXPECT_EQ(run({"device", "Pen"}), 0);
  EXPECT_NE(out_.str().find("  lowLevel         15% (not used as it stands: see --help)\n"
                            "  criticalLevel    3\n"),
            std::string::npos)
      << out_.str();
}

// On a laptop (the user's own places, or a file the service filled in) a key the user has not
// set is the laptop's default, in the file for the plug-in to read and shown as a default; a
// choice stays the user's, even one equal to the default.
TEST_F(Prefs, OnALaptopAKeyNotSetIsTheLaptopsDefault) {
  env_.unset("SIM_DEVICE_ROOT").set("XDG_CONFIG_HOME", root_.path() + "/config");
  const std::string path = "/config/brimwell/org.tarnel.Brimwell.plist";
  const struct {
    std::vector<const char*> args;
    std::vector<std::string> shown;  // lines of show afterwards that begin so
    const char* before = nullptr;    // the file's dictionary, written first
  } steps[] = {
      {{"show"},
       {"  chargeMode        2 (default) ", "  isPopAlert        on (default) ",
        "  alertLevel        0 (default) ", "  lowAction         none (default) ",
        "  sleepDrainAlert   1.5 (default) "}},
      {{"set", "sleepDrainAlert", "0"}, {"  sleepDrainAlert   0    "}},
      {{"set", "lowAction", "suspend"},
       {"  lowAction         suspend  ", "  isSound           on (default) "}},
      {{"set", "lowRepeatMinutes", "0"}, {"  lowRepeatMinutes  0    "}},
      {{"set", "isSound", "off"}, {"  isSound           off  "}},
      {{"unset", "isSound"}, {"  isSound           on (default) "}},
      {{"unset", "lowAction"}, {"  lowAction         none (default) "}},
      {{"reset"}, {"  isPopAlert        on (default) ", "  lowLevel          20 "}},
      {{"show"},
       {"  chargeMode        0    ", "  isSound           on (default) "},
       "<key>chargeMode</key><integer>0</integer>"
       "<key>laptopDefaults</key><array><string>chargeMode</string></array>"},
      // A hand-edited value the host cannot take as it stands is marked; one it can, not.
      {{"show"},
       {"  lowLevel          15% (not used as it stands: see --help)", "  lowActionDelay    30    ",
        "  lowMinutes        5000 (not used as it stands: see "},
       "<key>lowLevel</key><string>15%</string><key>lowActionDelay</key><string>30</string>"
       "<key>lowMinutes</key><integer>5000</integer>"},
  };
  for (const auto& step : steps) {
    if (step.before) root_.write(path, plistXml(step.before));
    ASSERT_EQ(run(step.args), 0) << err_.str();
    ASSERT_EQ(run({"show"}), 0);
    const std::string shown = out_.str();
    for (const std::string& line : step.shown) {
      EXPECT_NE(shown.find("\n" + line), std::string::npos) << step.args[0] << line << shown;
    }
    // What is shown as a laptop's default is in the file, where the plug-in reads it.
    const brimwell::Plist stored = brimwell::readDictionaryFile(root_.path() + path);
    for (size_t at = shown.find(" (default)");
         step.args[0] != std::string("show") && at != std::string::npos;
         at = shown.find(" (default)", at + 1)) {
      const size_t key = shown.rfind('\n', at) + 3;
      const std::string name = shown.substr(key, shown.find(' ', key) - key);
      if (brimwell::laptopDefaults().item(name)) {
        EXPECT_NE(stored.item(name), nullptr) << shown;
      }
    }
  }
}

// Help and settings fold to an 80-column terminal (the file's path aside) and lose no word.
TEST_F(Prefs, HelpAndSettingsFitEightyColumns) {
  for (const char* command : {"--help", "show"}) {
    ASSERT_EQ(run({command}), 0);
    std::istringstream lines(out_.str());
    std::string words = " ";           // the lines joined, one blank between words
    std::set<size_t> valueColumns;     // where each setting's value starts
    std::set<size_t> meanings, folds;  // where meanings start, and where their next lines do
    bool inSettings = false;
    for (std::string line; std::getline(lines, line);) {
      EXPECT_TRUE(line.size() <= 80 || line.find(kSettings) != std::string::npos) << line;
      const size_t key = line.find_first_not_of(' '), gap = line.find(' ', key);
      const prefs::Setting* s = key == 2 && gap != std::string::npos
                                    ? prefs::findSetting(line.substr(2, gap - 2))
                                    : nullptr;
      if (s) {
        valueColumns.insert(line.find_first_not_of(' ', gap));
        const std::string meaning = s->meaning;
        meanings.insert(line.rfind(" " + meaning.substr(0, meaning.find(' '))) + 1);
      } else if (inSettings && key > 2 && key != std::string::npos) {
        folds.insert(key);
      }
      inSettings = s || (inSettings && key != 0);
      for (const char c : " " + line) {
        if (c != ' ' || words.back() != ' ') words += c;
      }
    }
    EXPECT_EQ(valueColumns.size(), 1u) << command << ": every value in one column";
    ASSERT_EQ(folds.size(), 1u) << command << ": every meaning folds to one column";
    EXPECT_EQ(meanings.count(*folds.begin()), 1u) << command << ": the column meanings start in";
    for (const prefs::Setting& s : prefs::settings()) {
      EXPECT_NE(words.find(s.meaning), std::string::npos) << command << ": " << s.meaning;
    }
  }
}

TEST_F(Prefs, BadInputIsAOneLineErrorAndTheFileStaysAsItWas) {
  EXPECT_EQ(run({"set", "alertLevel", "80"}), 0);
  const std::string before = root_.read(kSettings);
  const struct {
    std::vector<const char*> args;
    int status;
    const char* why;
  } cases[] = {
      {{"set", "colour", "2"}, 2, "unknown setting 'colour'"},
      {{"set", "isSound", "maybe"}, 2, "isSound takes on/off"},
      {{"set", "alertLevel", "eighty"}, 2, "alertLevel takes a whole number"},
      {{"set", "alertLevel", "99999999999"}, 2, "alertLevel takes a whole number"},
      {{"set", "alertLevel"}, 2, "set takes KEY VALUE"},
      {{"unset"}, 2, "unset takes KEY"},
      {{"unset", "isVibrateX"}, 2, "unknown setting"},
      {{"reset", "now"}, 2, "reset takes nothing"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"get"}, 2, "get takes KEY"},
      {{"get", "colour"}, 2, "unknown setting 'colour'"},
      {{"set", "sleepDrainAlert", "high"},
       2,
       "sleepDrainAlert takes a number from 0 to 100, not 'high'"},
      {{"device"}, 2, "device takes NAME [lowLevel N|criticalLevel N|mute|unmute|reset]"},
      {{"device", "MX", "lowLevel", "15", "now"}, 2, "device takes NAME"},
      {{"device", ""}, 2, "device takes a device's serial or name as the listing quotes it"},
      {{"device", "MX", "volume", "3"},
       2,
       "unknown device setting 'volume' (lowLevel, criticalLevel, mute, unmute or reset)"},
      {{"device", "MX", "lowLevel", "101"}, 2, "lowLevel takes a whole number from 0 to 100"},
      {{"device", "MX", "criticalLevel", "-1"}, 2, "criticalLevel takes a whole number from 0"},
      {{"device", "MX", "criticalLevel", "low"}, 2, "not 'low'"},
      {{"device", "MX", "lowLevel"}, 2, "device NAME lowLevel takes a whole number from 0 to 100"},
      {{"device", "MX", "mute", "yes"}, 2, "device NAME mute takes nothing more"},
      {{"device", "MX", "reset", "all"}, 2, "device NAME reset takes nothing more"},
      {{"set", "deviceRemindHours", "721"},
       2,
       "deviceRemindHours takes a whole number from 0 to 720"},
      {{"set", "chargeLimit", "0"}, 2, "chargeLimit takes a whole number from 1 to 100, not '0'"},
      {{"set", "chargeStart", "100"},
       2,
       "chargeStart takes a whole number from 1 to 99, not '100'"},
      {{"set", "chargeLimit", "eighty"}, 2, "chargeLimit takes a whole number from 1 to 100"},
      {{"set", "chargeLimit"}, 2, "set takes KEY VALUE"},
      {{"set", "chargeLimit", "80", "90"}, 2, "set takes KEY VALUE"},
      {{"get", "chargeStart", "now"}, 2, "get takes KEY"},
      {{"unset", "chargeLimit"}, 2, "chargeLimit cannot be unset: the charge service keeps it"},
      {{"charge-full-once", "now"}, 2, "charge-full-once takes nothing but --battery NAME"},
      {{"set", "chargeLimit", "80", "--battery"}, 2, "--battery takes a battery's name"},
      {{"charge-full-once", "--battery", "../BAT0"}, 2, "such as BAT0, not '../BAT0'"},
      {{"--battery", "BAT0", "charge-full-once", "--battery", "BAT1"}, 2, "given twice"},
      {{"--battery", "BAT0", "show"}, 2, "--battery goes with set or get chargeLimit"},
      {{"--battery", "BAT0"}, 2, "--battery goes with"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args), c.status) << c.why;
    const std::string err = err_.str();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(c.why), std::string::npos) << err;
    EXPECT_EQ(root_.read(kSettings), before) << c.why;
  }
}

TEST_F(Prefs, RefusesValuesOutsideTheMeaningsThePluginGivesThem) {
  const struct {
    const char* key;
    const char* value;
    bool accepted;
  } cases[] = {
      {"alertLevel", "-5", false},
      {"alertLevel", "0", true},
      {"alertLevel", "1", true},
      {"alertLevel", "99", true},
      {"alertLevel", "100", true},
      {"alertLevel", "101", false},
      {"chargeMode", "-1", false},
      {"chargeMode", "0", true},
      {"chargeMode", "3", true},
      {"chargeMode", "7", false},
      {"textColor", "-1", false},
      {"textColor", "2", true},
      {"textColor", "3", false},
      {"lowLevel", "150", false},
      {"lowLevel", "-1", false},
      {"lowLevel", "0", true},
      {"criticalLevel", "5", true},
      {"lowActionDelay", "soon", false},
      {"lowActionDelay", "60", true},
      {"lowActionDelay", "0", true},
      {"lowActionDelay", "3601", false},
      {"lowAction", "sleep", false},
      {"lowAction", "hybrid-sleep", true},
      {"lowAction", "suspend hibernate", false},
      {"lowActionCommand", "notify-send 'low' && systemctl suspend", true},
      {"sleepDrainAlert", "-0.5", false},
      {"sleepDrainAlert", "0", true},
      {"sleepDrainAlert", "100", true},
      {"sleepDrainAlert", "100.01", false},
      {"sleepDrainAlert", "1e1", false},
  };
  for (const auto& c : cases) {
    root_.write(kSettings, testing_support::plistXml(""));
    EXPECT_EQ(run({"set", c.key, c.value}), c.accepted ? 0 : 2) << c.key << " " << c.value;
    const brimwell::Plist* stored = file().item(c.key);
    EXPECT_EQ(stored != nullptr, c.accepted) << c.key << " " << c.value;
    if (!c.accepted) {
      EXPECT_NE(err_.str().find(std::string("brimwell-prefs: ") + c.key + " takes "),
                std::string::npos)
          << err_.str();
      EXPECT_NE(
          err_.str().find(prefs::accepted(*prefs::findSetting(c.key)) + ", not '" + c.value + "'"),
          std::string::npos)
          << err_.str();
    }
  }
}

// What the built program does with a settings path it cannot read: one line and exit 1 for every
// command, never an abort.
TEST(PrefsOnAnUnreadablePath, OneLineAndExitOneForEveryCommand) {
  const bool root = geteuid() == 0;
  if (root && testing_support::OtherUser::unavailable()) {
    GTEST_SKIP() << "a folder root may not search needs another user: "
                 << *testing_support::OtherUser::unavailable();
  }
  const testing_support::OtherUser user;
  const std::string tooLong(5000, 'd');
  const struct {
    const char* name;
    std::string under;  // the device root below the temporary folder
    std::function<void(const std::string& settings)> make;
    std::string why;  // after "brimwell-prefs: ", with SETTINGS for the settings path
  } cases[] = {
      {"a symbolic link loop", "device",
       [](const std::string& s) { std::filesystem::create_symlink(s, s); },
       "cannot read SETTINGS: Too many levels of symbolic links"},
      {"a folder it may not search", "device",
       [](const std::string& s) {
         std::filesystem::permissions(std::filesystem::path(s).parent_path(),
                                      std::filesystem::perms::owner_read);
       },
       "cannot read SETTINGS: Permission denied"},
      {"a path too long", tooLong, [](const std::string&) {},
       "cannot read SETTINGS: File name too long"},
      {"a folder at the path", "device",
       [](const std::string& s) { std::filesystem::create_directory(s); },
       "SETTINGS is not a file"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string device = dir.path() + "/" + c.under;
    const std::string settings = device + kSettings;
    if (c.under != tooLong) {
      std::filesystem::create_directories(device + "/var/mobile/Library/Preferences");
      if (root) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
          ASSERT_EQ(lchown(entry.path().c_str(), user.uid(), user.uid()), 0);
        ASSERT_EQ(chown(dir.path().c_str(), user.uid(), user.uid()), 0);
      }
      c.make(settings);
    }
    std::string why = c.why;
    why.replace(why.find("SETTINGS"), 8, settings);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"show"},
                                               {"get", "isSound"},
                                               {"set", "alertLevel", "80"},
                                               {"unset", "isSound"},
                                               {"reset"}}) {
      const std::vector<std::string> line =
          root ? user.command(BRIMWELL_PREFS, args) : std::vector<std::string>{};
      const auto result =
          root ? testing_support::runProcess(line[0], {line.begin() + 1, line.end()},
                                             {{"SIM_DEVICE_ROOT", device}})
               : testing_support::runProcess(BRIMWELL_PREFS, args, {{"SIM_DEVICE_ROOT", device}});
      EXPECT_EQ(result.exitCode, 1) << c.name << ": " << args[0];
      EXPECT_EQ(result.err, "brimwell-prefs: " + why + "\n") << c.name << ": " << args[0];
    }
    if (c.under != tooLong) {
      std::filesystem::permissions(device + "/var/mobile/Library/Preferences",
                                   std::filesystem::perms::owner_all);
    }
  }
}

TEST_F(Prefs, AFileThatIsNotADictionaryIsKeptUntilReset) {
  root_.write(kSettings, "garbage");
  EXPECT_EQ(run({"set", "alertLevel", "80"}), 1);
  EXPECT_NE(err_.str().find("is not a settings dictionary"), std::string::npos);
  EXPECT_EQ(root_.read(kSettings), "garbage");
  EXPECT_EQ(run({"show"}), 0);
  EXPECT_NE(out_.str().find("not a settings dictionary"), std::string::npos);
  EXPECT_EQ(run({"reset"}), 0);
  EXPECT_EQ(run({"set", "alertLevel", "80"}), 0);
  EXPECT_EQ(brimwell::intValueOf(file().item("alertLevel")), 80);
}

// The settings hold a command line the host runs: the file is the user's alone, whatever the
// umask, so that the host never refuses what brimwell-prefs wrote.
TEST_F(Prefs, WritesAFileOnlyTheUserMayWriteWhateverTheUmask) {
  for (const mode_t mask : {022, 002, 0}) {
    const mode_t previous = umask(mask);
    EXPECT_EQ(run({"set", "isVibrate", "yes"}), 0);
    umask(previous);
    struct stat info;
    ASSERT_EQ(stat((root_.path() + kSettings).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "umask " << mask;
  }
}

// What each answer of the charge service comes to: the call made, then one line and the exit.
TEST(PrefsCharge, EachAnswerIsOneLine) {
  using prefs::BatteryLimits;
  using prefs::ChargeAnswer;
  using Kind = ChargeAnswer::Kind;
  using Method = prefs::ChargeCall::Method;
  const auto reply = [](std::vector<BatteryLimits> limits) {
    return ChargeAnswer{Kind::reply, "", "", std::move(limits)};
  };
  const auto error = [](std::string name, std::string message) {
    return ChargeAnswer{Kind::error, std::move(name), std::move(message), {}};
  };
  const auto unanswered = [](Kind kind, std::string why = "") {
    return ChargeAnswer{kind, "", std::move(why), {}};
  };
  const BatteryLimits bat0{"BAT0", true, 80, true, 40, false},
      bat1Once{"BAT1", true, 75, false, 0, true}, bat1Bare{"BAT1", false, 0, false, 0, false};
  const std::string ours = "org.tarnel.Brimwell.Charge1.Error.";
  const struct {
    std::vector<std::string> args;
    ChargeAnswer answer, after;
    prefs::ChargeCall call;
    int status;
    std::string out, err;  // err after "brimwell-prefs: "
  } rows[] = {
      {{"set", "chargeLimit", "80"},
       reply({}),
       reply({bat0}),
       {Method::setLimits, "", 80, 0},
       0,
       "brimwell-prefs: charge limit set to 80 % (BAT0)\n",
       ""},
      {{"set", "chargeLimit", "80"},
       reply({}),
       reply({bat0, {"BAT1", true, 80, false, 0, false}, bat1Once, bat1Bare}),
       {Method::setLimits, "", 80, 0},
       0,
       "brimwell-prefs: charge limit set to 80 % (BAT0, BAT1), 75 % (BAT1)\n",
       ""},
      {{"set", "chargeStart", "40", "--battery", "BAT0"},
       reply({}),
       reply({bat1Once, bat0}),
       {Method::setLimits, "BAT0", 0, 40},
       0,
       "brimwell-prefs: charging starts again below 40 % (BAT0)\n",
       ""},
      {{"set", "chargeStart", "5"},
       reply({}),
       unanswered(Kind::timedOut),
       {Method::setLimits, "", 0, 5},
       0,
       "brimwell-prefs: charging starts again below 5 %\n",
       ""},
      {{"--battery", "BAT1", "set", "chargeLimit", "1"},
       reply({}),
       unanswered(Kind::noBus),
       {Method::setLimits, "BAT1", 1, 0},
       0,
       "brimwell-prefs: charge limit set to 1 %\n",
       ""},
      {{"set", "chargeLimit", "70"},
       error(ours + "NotKept",
             "the limit is set but cannot be kept for the next boot: cannot write x: No space"),
       reply({{"BAT0", true, 70, true, 69, false}}),
       {Method::setLimits, "", 70, 0},
       1,
       "brimwell-prefs: charge limit set to 70 % (BAT0); charging starts again below 69 % (BAT0)\n",
       "the limit is set but cannot be kept for the next boot: cannot write x: No space\n"},
      {{"charge-full-once"},
       reply({}),
       reply({bat0, bat1Once}),
       {Method::chargeFullOnce, "", 0, 0},
       0,
       "brimwell-prefs: charging to full once (BAT1): the limit comes back when external power "
       "goes\n",
       ""},
      {{"charge-full-once"},
       reply({}),
       error("x", "y"),
       {Method::chargeFullOnce, "", 0, 0},
       0,
       "brimwell-prefs: charging to full once: the limit comes back when external power goes\n",
       ""},
      {{"set", "chargeLimit", "100"},
       error(ours + "NotAuthorized", "Not authorized\nby polkit"),
       {},
       {Method::setLimits, "", 100, 0},
       1,
       "",
       "Not authorized"},
      {{"set", "chargeLimit", "80"},
       error(ours + "NotAuthorized", ""),
       {},
       {},
       1,
       "",
       "not authorized to change the charge limits"},
      {{"set", "chargeLimit", "80"},
       error(ours + "NoLimit", "BAT0 has none"),
       {},
       {},
       1,
       "",
       "this machine offers no charge limit"},
      {{"set", "chargeStart", "5"},
       error(ours + "NoLimit", "BAT0 has no start threshold"),
       {},
       {Method::setLimits, "", 0, 5},
       1,
       "",
       "BAT0 has no start threshold"},
      {{"charge-full-once", "--battery", "BAT1"},
       error(ours + "NoLimit", ""),
       {},
       {Method::chargeFullOnce, "BAT1", 0, 0},
       1,
       "",
       "this machine offers no charge limit"},
      {{"set", "chargeLimit", "83"},
       error(ours + "Refused", "BAT0:\tInvalid argument"),
       {},
       {},
       1,
       "",
       "BAT0:?Invalid argument"},
      {{"set", "chargeLimit", "83"},
       error(ours + "Refused", ""),
       {},
       {},
       1,
       "",
       "the battery's driver refused the value"},
      {{"set", "chargeLimit", "8", "--battery", "BAT9"},
       error(ours + "NoSuchBattery", ""),
       {},
       {},
       1,
       "",
       "no battery named BAT9"},
      {{"set", "chargeStart", "90"},
       error(brimwell::charge::kErrorInvalidArgs, ""),
       {},
       {},
       1,
       "",
       "the charge service refused the value"},
      {{"set", "chargeLimit", "80"},
       error("org.example.Odd", ""),
       {},
       {},
       1,
       "",
       "the charge service answered org.example.Odd"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.DBus.Error.ServiceUnknown", "no"),
       {},
       {},
       1,
       "",
       "the charge service (org.tarnel.Brimwell.Charge) is not installed: install the brimwell "
       "package, which brings brimwell-charge"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.DBus.Error.NameHasNoOwner", "Name has no owner"),
       {},
       {},
       1,
       "",
       "is not installed"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.DBus.Error.Spawn.ServiceNotFound", ""),
       {},
       {},
       1,
       "",
       "is not installed"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.DBus.Error.Spawn.ChildExited", "Process exited with status 1"),
       {},
       {},
       1,
       "",
       "the system bus could not start the charge service: Process exited with status 1 "
       "(org.freedesktop.DBus.Error.Spawn.ChildExited); see journalctl -u brimwell-charge"},
      {{"charge-full-once"},
       error("org.freedesktop.DBus.Error.NameHasNoOwner",
             "Could not activate remote peer 'org.tarnel.Brimwell.Charge': startup job failed"),
       {},
       {Method::chargeFullOnce, "", 0, 0},
       1,
       "",
       "the system bus could not start the charge service: Could not activate remote peer "
       "'org.tarnel.Brimwell.Charge': startup job failed "
       "(org.freedesktop.DBus.Error.NameHasNoOwner)"
       "; see journalctl -u brimwell-charge"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.systemd1.UnitMasked", "Unit brimwell-charge.service is masked."),
       {},
       {},
       1,
       "",
       "could not start the charge service: Unit brimwell-charge.service is masked. "
       "(org.freedesktop.systemd1.UnitMasked); see"},
      {{"get", "chargeLimit"},
       error("org.freedesktop.DBus.Error.TimedOut",
             "Activation of org.tarnel.Brimwell.Charge timed out"),
       {},
       {},
       1,
       "",
       "could not start the charge service: Activation of org.tarnel.Brimwell.Charge timed out "
       "(org.freedesktop.DBus.Error.TimedOut)"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.DBus.Error.Spawn.ExecFailed", ""),
       {},
       {},
       1,
       "",
       "could not start the charge service: org.freedesktop.DBus.Error.Spawn.ExecFailed; see"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.DBus.Error.AccessDenied", "Rejected send message"),
       {},
       {},
       1,
       "",
       "the system bus refused the call to the charge service: Rejected send message "
       "(org.freedesktop.DBus.Error.AccessDenied)"},
      {{"set", "chargeLimit", "80"},
       error("org.freedesktop.DBus.Error.NoReply",
             "Message recipient disconnected from message bus without replying"),
       {},
       {},
       1,
       "",
       "the charge service did not answer: Message recipient disconnected from message bus "
       "without replying (org.freedesktop.DBus.Error.NoReply); see journalctl -u brimwell-charge"},
      {{"set", "chargeLimit", "80"},
       unanswered(Kind::noBus, "No such file or directory"),
       {},
       {},
       1,
       "",
       "cannot reach the system bus (No such file or directory): check that dbus is running"},
      {{"set", "chargeLimit", "80"},
       unanswered(Kind::timedOut),
       {},
       {},
       1,
       "",
       "the charge service did not answer within 40 seconds"},
      {{"get", "chargeLimit"},
       unanswered(Kind::timedOut),
       {},
       {},
       1,
       "",
       "did not answer within 10 seconds"},
      {{"get", "chargeLimit"},
       reply({bat0, bat1Once, bat1Bare}),
       {},
       {},
       0,
       "80 (BAT0), 75 (BAT1, full once until external power goes)\n",
       ""},
      {{"get", "chargeStart"}, reply({bat0, bat1Once}), {}, {}, 0, "40 (BAT0)\n", ""},
      {{"get", "chargeStart"},
       reply({bat1Once}),
       {},
       {},
       1,
       "",
       "this machine offers no start threshold"},
      {{"get", "chargeLimit"},
       reply({bat1Bare}),
       {},
       {},
       1,
       "",
       "this machine offers no charge limit"},
      {{"get", "chargeLimit", "--battery", "BAT1"},
       reply({bat0, bat1Bare}),
       {},
       {Method::getLimits, "BAT1", 0, 0},
       1,
       "",
       "BAT1 offers no charge limit"},
      {{"get", "chargeLimit", "--battery", "BAT2"},
       reply({bat0}),
       {},
       {Method::getLimits, "BAT2", 0, 0},
       1,
       "",
       "no battery named BAT2"},
      {{"get", "chargeLimit", "--battery", "BAT0"},
       reply({bat0, bat1Once}),
       {},
       {Method::getLimits, "BAT0", 0, 0},
       0,
       "80 (BAT0)\n",
       ""},
  };
  for (const auto& r : rows) {
    std::string name = r.err;
    for (const std::string& arg : r.args) name += " " + arg;
    std::string why;
    const auto command = prefs::parseChargeCommand(r.args, why);
    ASSERT_TRUE(command && prefs::isChargeCommand(r.args)) << name << ": " << why;
    std::vector<prefs::ChargeCall> calls;
    const auto caller = [&](const prefs::ChargeCall& call, double) {
      calls.push_back(call);
      return calls.size() == 1 ? r.answer : r.after;
    };
    std::ostringstream out, err;
    EXPECT_EQ(prefs::runChargeCommand(*command, caller, out, err), r.status) << name;
    EXPECT_EQ(out.str(), r.out) << name;
    const std::string said = err.str();
    EXPECT_EQ(said.rfind("brimwell-prefs: ", 0) == 0, !r.err.empty()) << name;
    EXPECT_NE(said.find(r.err), std::string::npos) << name << ": " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), r.err.empty() ? 0 : 1) << name;
    // A change reads the limits back, as does one not kept; a refusal and a get ask nothing more.
    EXPECT_EQ(calls.size(), !r.out.empty() && r.args[0] != "get" ? 2u : 1u) << name;
    if (r.call.method != Method::getLimits || r.args[0] == "get") {
      EXPECT_EQ(calls[0].method, r.call.method) << name;
      EXPECT_EQ(calls[0].battery, r.call.battery) << name;
      EXPECT_EQ(calls[0].end, r.call.end) << name;
      EXPECT_EQ(calls[0].start, r.call.start) << name;
    }
    if (calls.size() == 2) {
      EXPECT_EQ(calls[1].method, Method::getLimits) << name;
    }
  }
}

// What a bus monitor has seen up to now: a call of our own made now has come through it.
bool watchedUpTo(testing_support::BackgroundProcess& monitor, const std::string& bus,
                 std::string& seen) {
  const std::string id = "/brimwell/mark/" + std::to_string(seen.size());
  for (int attempt = 0; attempt < 50; ++attempt) {
    testing_support::runProcess(
        "/usr/bin/dbus-send",
        {"--bus=" + bus, "--dest=org.freedesktop.DBus", id, "org.freedesktop.DBus.Peer.Ping"});
    bool marked = false;
    while (const auto line = monitor.readLine(100)) {
      seen += *line + "\n";
      marked = marked || line->find("Path=" + id + " ") != std::string::npos;
    }
    if (marked) return true;
  }
  return false;
}

// A private bus that starts the charge service by running `exec`, as the system bus would.
std::string activatingBus(const TempDir& dir, const std::string& exec) {
  dir.write(
      "/services/" + std::string(brimwell::charge::kBusName) + ".service",
      "[D-BUS Service]\nName=" + std::string(brimwell::charge::kBusName) + "\nExec=" + exec + "\n");
  return dir.write("/bus.conf", "<busconfig><type>session</type><listen>unix:tmpdir=" + dir.path() +
                                    "</listen><auth>EXTERNAL</auth><servicedir>" + dir.path() +
                                    "/services</servicedir><policy context=\"default\"><allow "
                                    "send_destination=\"*\" eavesdrop=\"true\"/><allow "
                                    "eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
}

// The built program against a stand-in charge service on a private system bus: what is sent,
// and the one line said for each answer; no service, one the bus cannot start and no bus are
// one line too.
TEST(PrefsCharge, TheBuiltProgramAgainstTheService) {
  if (const auto why = testing_support::MockBus::unavailable()) GTEST_SKIP() << *why;
  const std::string mock = CHARGE_SERVICE_MOCK;
  const std::string batteries =
      R"("batteries": [["BAT0", true, 100, true, 0, false], ["BAT1", false, 0, false, 0, false]])";
  const auto refusing = [&](const std::string& error, const std::string& message) {
    return "{" + batteries + R"(, "error": ["org.tarnel.Brimwell.Charge1.Error.)" + error +
           R"(", ")" + message + R"("]})";
  };
  const struct {
    const char* name;
    std::string parameters;  // empty: no service on the bus
    std::vector<std::string> args;
    int status;
    std::string out;        // found in standard output
    std::string err;        // the whole of standard error
    std::string calls;      // what the service was asked
    std::string exec = "";  // what the bus runs to start the service
  } rows[] = {
      {"allowed",
       "{" + batteries + "}",
       {"set", "chargeLimit", "80"},
       0,
       "brimwell-prefs: charge limit set to 80 % (BAT0)\n",
       "",
       "SetLimits \"\" 80 0\nGetLimits\n"},
      {"a start",
       "{" + batteries + "}",
       {"set", "chargeStart", "40", "--battery", "BAT0"},
       0,
       "charging starts again below 40 % (BAT0)",
       "",
       "SetLimits \"BAT0\" 0 40\nGetLimits\n"},
      {"full once",
       "{" + batteries + "}",
       {"--battery", "BAT0", "charge-full-once"},
       0,
       "charging to full once (BAT0)",
       "",
       "ChargeFullOnce \"BAT0\"\nGetLimits\n"},
      {"get", "{" + batteries + "}", {"get", "chargeLimit"}, 0, "100 (BAT0)\n", "", "GetLimits\n"},
      {"the listing",
       "{" + batteries + "}",
       {},
       0,
       "\nCharge limits, kept by the charge service:\n  BAT0: chargeLimit 100 %, chargeStart 0 "
       "%\n  BAT1: no charge limit\n",
       "",
       "GetLimits\n"},
      {"a listing with no battery",
       R"({"batteries": []})",
       {"show"},
       0,
       "  this machine offers no charge limit\n",
       "",
       "GetLimits\n"},
      {"refused by polkit",
       refusing("NotAuthorized", "Not authorized to set charge limits"),
       {"set", "chargeLimit", "80"},
       1,
       "",
       "brimwell-prefs: Not authorized to set charge limits\n",
       "SetLimits \"\" 80 0\n"},
      {"no limit",
       refusing("NoLimit", "none here"),
       {"charge-full-once"},
       1,
       "",
       "brimwell-prefs: this machine offers no charge limit\n",
       "ChargeFullOnce \"\"\n"},
      {"no such battery",
       refusing("NoSuchBattery", "no battery BAT7"),
       {"set", "chargeLimit", "80", "--battery", "BAT7"},
       1,
       "",
       "brimwell-prefs: no battery BAT7\n",
       "SetLimits \"BAT7\" 80 0\n"},
      {"the driver's no",
       refusing("Refused", "BAT0 refused 83: Invalid argument"),
       {"set", "chargeLimit", "83"},
       1,
       "",
       "brimwell-prefs: BAT0 refused 83: Invalid argument\n",
       "SetLimits \"\" 83 0\n"},
      {"a list that cannot be read",
       R"({"unlisted": true})",
       {"get", "chargeLimit"},
       1,
       "",
       "brimwell-prefs: the charge service's list of batteries cannot be read\n",
       "GetLimits\n"},
      {"no service",
       "",
       {"set", "chargeLimit", "80"},
       1,
       "",
       "brimwell-prefs: the charge service (org.tarnel.Brimwell.Charge) is not installed: install "
       "the brimwell package, which brings brimwell-charge\n",
       ""},
      {"no service, get", "", {"get", "chargeStart"}, 1, "", "is not installed", ""},
      {"no service, the listing",
       "",
       {"show"},
       0,
       "\nCharge limits, kept by the charge service:\n  not read: the charge service "
       "(org.tarnel.Brimwell.Charge) is not installed:\n    install the brimwell package, which "
       "brings brimwell-charge\n",
       "",
       ""},
      {"a service that ends at its start",
       "",
       {"set", "chargeLimit", "80"},
       1,
       "",
       "brimwell-prefs: the system bus could not start the charge service: Process "
       "org.tarnel.Brimwell.Charge exited with status 3 "
       "(org.freedesktop.DBus.Error.Spawn.ChildExited); see journalctl -u brimwell-charge\n",
       "",
       "/bin/sh -c 'exit 3'"},
      {"a service that cannot be run",
       "",
       {"show"},
       0,
       "  not read: the system bus could not start the charge service: Failed to execute\n"
       "    program org.tarnel.Brimwell.Charge: No such file or directory\n"
       "    (org.freedesktop.DBus.Error.Spawn.ExecFailed); see\n"
       "    journalctl -u brimwell-charge\n",
       "",
       "",
       "/nonexistent/brimwell-charge"},
  };
  for (const auto& r : rows) {
    TempDir services;
    testing_support::MockBus bus(r.exec.empty() ? "" : activatingBus(services, r.exec));
    ASSERT_FALSE(bus.address().empty()) << r.name;
    if (!r.parameters.empty()) {
      ASSERT_TRUE(bus.startTemplate(mock, brimwell::charge::kBusName, true, r.parameters))
          << r.name;
    }
    // Watches the calls' flags: polkit may ask the user's agent only when the call allows it.
    testing_support::BackgroundProcess monitor("/usr/bin/busctl",
                                               {"--address=" + bus.address(), "monitor"});
    std::string watched;
    ASSERT_TRUE(watchedUpTo(monitor, bus.address(), watched)) << r.name;
    TempDir device;
    const auto result = testing_support::runProcess(
        BRIMWELL_PREFS, r.args,
        {{"SIM_DEVICE_ROOT", device.path()}, {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    EXPECT_EQ(result.exitCode, r.status) << r.name << ": " << result.err;
    EXPECT_NE(result.out.find(r.out), std::string::npos) << r.name << ": " << result.out;
    EXPECT_NE(result.err.find(r.err), std::string::npos) << r.name << ": " << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), r.err.empty() ? 0 : 1)
        << r.name << ": " << result.err;
    std::istringstream logged(bus.calls());
    std::string calls;  // without the stand-in's own note of what it raised
    for (std::string line; std::getline(logged, line);)
      calls += line.find(" raised: ") == std::string::npos ? line + "\n" : "";
    EXPECT_EQ(calls, r.calls) << r.name;
    ASSERT_TRUE(watchedUpTo(monitor, bus.address(), watched)) << r.name;
    std::istringstream lines(watched);
    size_t ours = 0, interactive = 0;
    for (std::string line, before; std::getline(lines, line); before = line) {
      if (line.find("Interface=org.tarnel.Brimwell.Charge1 ") == std::string::npos) continue;
      ++ours;
      interactive += before.find(" Flags=4 ") != std::string::npos;
    }
    EXPECT_GT(ours, 0u) << r.name;
    EXPECT_EQ(interactive, ours) << r.name;
    EXPECT_EQ(result.out.find("Charge limits") != std::string::npos,
              r.args.empty() || r.args[0] == "show")
        << r.name;
    EXPECT_FALSE(std::filesystem::exists(device.path() + kSettings)) << r.name;
  }
}

// A bus that takes the connection and never answers ends at the bound, as does one that hangs up.
TEST(PrefsCharge, ABusThatNeverAnswersEndsAtTheBound) {
  TempDir sockets;
  const testing_support::SilentBus quiet(sockets.path() + "/silent"),
      closing(sockets.path() + "/hangs", true);
  const struct {
    const char* name;
    std::string address;
    prefs::ChargeAnswer::Kind kind;
  } rows[] = {
      {"never answers", quiet.address(), prefs::ChargeAnswer::Kind::timedOut},
      {"hangs up", closing.address(), prefs::ChargeAnswer::Kind::noBus},
      {"no bus", "unix:path=" + sockets.path() + "/none", prefs::ChargeAnswer::Kind::noBus},
  };
  for (const auto& r : rows) {
    testing_support::ScopedEnvironment env;
    env.set("DBUS_SYSTEM_BUS_ADDRESS", r.address);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    const auto answer =
        prefs::callChargeService({prefs::ChargeCall::Method::setLimits, "", 80, 0}, 2.0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(answer.kind, r.kind) << r.name << ": " << answer.errorName << answer.message;
    EXPECT_LT(took, std::chrono::milliseconds(3500)) << r.name;
    if (r.kind == prefs::ChargeAnswer::Kind::timedOut) {
      EXPECT_GE(took, std::chrono::seconds(2)) << r.name;
    }
    // Waiting sleeps on the connection rather than spinning.
    EXPECT_LT(std::clock() - cpu, CLOCKS_PER_SEC / 2) << r.name;
  }
}

}  // namespace
