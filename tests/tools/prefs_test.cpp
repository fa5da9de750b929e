#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "common/device_keys.h"
#include "common/dictionary_file.h"
#include "common/value_conversions.h"
#include "tests/support/other_user.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"
#include "tools/prefs_app.h"
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
  void SetUp() override { env_.set("SIM_DEVICE_ROOT", root_.path()); }

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
  EXPECT_NE(out_.str().find("alertLevel       80 "), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("isSound          off (not set)"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("lowLevel         20 (default)"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("sleepDrainAlert  2.5  "), std::string::npos) << out_.str();
  for (const auto& [key, shown] : {std::pair{"sleepDrainAlert", "2.5\n"},
                                   {"lowLevel", "20 (default)\n"},
                                   {"isSound", "off (not set)\n"}}) {
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
  EXPECT_NE(out_.str().find("\nDevices:\n"
                            "  \"MX Master 3\": lowLevel 15, criticalLevel 5 (default), mute on\n"
                            "  \"WH-1000XM4\": lowLevel 10 (default), criticalLevel 3, mute off "
                            "(default)\n"),
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
                  "<key>Serial</key><string>4089-a6</string></dict>"
                  "<dict><key>Name</key><string>WH-1000XM4</string>"
                  "<key>Address</key><string>AA:BB:CC:DD:EE:01</string></dict></array>"));
  const std::string unseen =
      "brimwell-prefs: note: no device \"No Such Mouse\" seen yet (seen: "
      "\"MX Master 3\", \"WH-1000XM4\"); kept for when it comes\n";
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
  EXPECT_NE(out_.str().find("\nDevices: none of their own"), std::string::npos) << out_.str();
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
       {"  chargeMode       2 (laptop default) ", "  isPopAlert       on (laptop default) ",
        "  alertLevel       0 (not set) ", "  lowAction        none (laptop default) ",
        "  sleepDrainAlert  1.5 (laptop default) "}},
      {{"set", "sleepDrainAlert", "0"}, {"  sleepDrainAlert  0    "}},
      {{"set", "lowAction", "suspend"},
       {"  lowAction        suspend  ", "  isSound          on (laptop default) "}},
      {{"set", "lowRepeatMinutes", "0"}, {"  lowRepeatMinutes 0    "}},
      {{"set", "isSound", "off"}, {"  isSound          off  "}},
      {{"unset", "isSound"}, {"  isSound          on (laptop default) "}},
      {{"unset", "lowAction"}, {"  lowAction        none (laptop default) "}},
      {{"reset"}, {"  isPopAlert       on (laptop default) ", "  lowLevel         20 (laptop "}},
      {{"show"},
       {"  chargeMode       0    ", "  isSound          on (laptop default) "},
       "<key>chargeMode</key><integer>0</integer>"
       "<key>laptopDefaults</key><array><string>chargeMode</string></array>"},
  };
  for (const auto& step : steps) {
    if (step.before) root_.write(path, plistXml(step.before));
    ASSERT_EQ(run(step.args), 0) << err_.str();
    ASSERT_EQ(run({"show"}), 0);
    const std::string shown = out_.str();
    for (const std::string& line : step.shown) {
      EXPECT_NE(shown.find("\n" + line), std::string::npos) << step.args[0] << line << shown;
    }
    // What is shown as a default is in the file, where the plug-in reads it.
    const brimwell::Plist stored = brimwell::readDictionaryFile(root_.path() + path);
    for (size_t at = shown.find(" (laptop default)");
         step.args[0] != std::string("show") && at != std::string::npos;
         at = shown.find(" (laptop default)", at + 1)) {
      const size_t key = shown.rfind('\n', at) + 3;
      EXPECT_NE(stored.item(shown.substr(key, shown.find(' ', key) - key)), nullptr) << shown;
    }
  }
}

// Help and settings fold to an 80-column terminal (the file's path aside) and lose no word.
TEST_F(Prefs, HelpAndSettingsFitEightyColumns) {
  for (const char* command : {"--help", "show"}) {
    ASSERT_EQ(run({command}), 0);
    std::istringstream lines(out_.str());
    std::string words = " ";  // the lines joined, one blank between words
    for (std::string line; std::getline(lines, line);) {
      EXPECT_TRUE(line.size() <= 80 || line.find(kSettings) != std::string::npos) << line;
      for (const char c : " " + line) {
        if (c != ' ' || words.back() != ' ') words += c;
      }
    }
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
      {{"device", ""}, 2, "device takes a device's serial or name as brimwell shows it"},
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

}  // namespace
