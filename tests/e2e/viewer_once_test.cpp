// Runs the built BrimwellViewer --once against device roots of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>

#include <map>
#include <sstream>

#include "common/plist.h"
#include "tests/support/background_process.h"
#include "tests/support/binary_plist.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::plistXml;
using testing_support::runProcess;
using testing_support::TempDir;

struct Screen {
  int exitCode;
  std::map<std::string, std::string> lines;  // outlet -> the rest of its line
  std::string out;
};

Screen viewerOnce(const TempDir& root,
                  const std::map<std::string, std::optional<std::string>>& extra = {}) {
  std::map<std::string, std::optional<std::string>> env = {{"SIM_DEVICE_ROOT", root.path()},
                                                           {"SIM_MODEL_IDENTIFIER", "iPhone7,2"},
                                                           {"SIM_LANGUAGES", "en"}};
  for (const auto& [k, v] : extra) env[k] = v;
  const auto result = runProcess(BRIMWELL_VIEWER, {"--once"}, env);
  Screen screen{result.exitCode, {}, result.out};
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t space = line.find(' ');
    screen.lines[line.substr(0, space)] = line.substr(space + 1);
  }
  return screen;
}

const char* kStatusPath = "/tmp/batteryStatus.plist";

TEST(ViewerOnce, NoStatusFileShowsTheZeroValues) {
  TempDir root;
  const Screen s = viewerOnce(root);
  ASSERT_EQ(s.exitCode, 0);
  const std::string expected =
      "deviceLabel \"iPhone 6\"\n"
      "currentBatteryLevel \"nan%\" color=0,0.75,0,1\n"
      "batteryTempLabel \"0.00\u2103\" color=0,0,1,1\n"
      "chargingOrDrainingLabel \"Charging...\"\n"
      "currentLabel \"0 mA\" color=0,0.75,0,1\n"
      "useOrRemainingLabel \"Remaining Time\"\n"
      "remainingTimeLabel \"\"\n"
      "batteryHeath \"nan%\" color=1,0.5,0,1\n"
      "cycleLabel \"0\"\n"
      "currentCap \"0 mAh\"\n"
      "maxCap \"0 mAh\"\n"
      "designCap \"0 mAh\"\n"
      "voltageLabel \"0 mV\"\n"
      "outputLabel \"No Charger\"\n"
      "fullyChargedLabel \"No Charger\"\n"
      "manufacturerLabel \"(null)\"\n"
      "serialNumberLabel \"(null)\"\n";
  EXPECT_EQ(s.out, expected);
}

const std::string kChargingPhone = plistXml(
    "<key>AppleRawCurrentCapacity</key><integer>1750</integer>"
    "<key>AppleRawMaxCapacity</key><integer>2000</integer>"
    "<key>DesignCapacity</key><integer>1810</integer>"
    "<key>CycleCount</key><integer>212</integer>"
    "<key>Temperature</key><integer>3056</integer>"
    "<key>InstantAmperage</key><integer>-523</integer>"
    "<key>IsCharging</key><false/>"
    "<key>ExternalConnected</key><true/>"
    "<key>FullyCharged</key><false/>"
    "<key>Voltage</key><integer>4120</integer>"
    "<key>Amperage</key><integer>1000</integer>"
    "<key>Manufacturer</key><string>A</string>"
    "<key>Serial</key><string>C0\xE2\x84\x83\"1</string>"
    "<key>Unread</key><dict><key>x</key><integer>1</integer></dict>");

TEST(ViewerOnce, AStatusFileFillsEveryLine) {
  TempDir root;
  root.write(kStatusPath, kChargingPhone);
  const Screen s = viewerOnce(root);
  ASSERT_EQ(s.exitCode, 0);
  EXPECT_EQ(s.lines.at("currentBatteryLevel"), "\"87.50%\" color=0,0.75,0,1");
  EXPECT_EQ(s.lines.at("batteryTempLabel"), "\"30.00\u2103\" color=0,0.75,0,1");
  EXPECT_EQ(s.lines.at("chargingOrDrainingLabel"), "\"Draining...\"");
  EXPECT_EQ(s.lines.at("currentLabel"), "\"-523 mA\" color=0.8,0,0,1");
  EXPECT_EQ(s.lines.at("useOrRemainingLabel"), "\"Can Use\"");
  EXPECT_EQ(s.lines.at("remainingTimeLabel"), "\"3 h 20 m\"");  // 1750/523 = 3.346 h
  EXPECT_EQ(s.lines.at("batteryHeath"), "\"110.50%\" color=0,0.75,0,1");
  EXPECT_EQ(s.lines.at("cycleLabel"), "\"212\"");
  EXPECT_EQ(s.lines.at("voltageLabel"), "\"4120 mV\"");
  EXPECT_EQ(s.lines.at("outputLabel"), "\"1000 mA\"");
  EXPECT_EQ(s.lines.at("fullyChargedLabel"), "\"No Charging\"");
  EXPECT_EQ(s.lines.at("serialNumberLabel"), "\"C0\u2103\\\"1\"");
  EXPECT_EQ(s.lines.size(), 17u);
}

TEST(ViewerOnce, BinaryFileReadsLikeXml) {
  TempDir xmlRoot, binaryRoot;
  xmlRoot.write(kStatusPath, kChargingPhone);
  const std::string binary = testing_support::binaryPlistOf(kChargingPhone);
  ASSERT_EQ(binary.rfind("bplist00", 0), 0u);
  binaryRoot.write(kStatusPath, binary);
  EXPECT_EQ(viewerOnce(binaryRoot).out, viewerOnce(xmlRoot).out);
}

TEST(ViewerOnce, BadFilesNeverCrashAndReadAsNoDictionary) {
  TempDir empty;
  const std::string zero = viewerOnce(empty).out;
  std::string huge = kChargingPhone;
  huge.insert(huge.find("<plist"), 1024 * 1024, ' ');
  // The charging phone's file with one fault in it: none of its other values may show.
  const auto spoiled = [](const std::string& from, const std::string& to) {
    std::string xml = kChargingPhone;
    return xml.replace(xml.find(from), from.size(), to);
  };
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"malformed", "<?xml version=\"1.0\"?><plist><dict><key>A</key><integer>1"},
      {"letters in an integer", spoiled("<integer>4120</integer>", "<integer>41x20</integer>")},
      {"an empty integer", spoiled("<integer>4120</integer>", "<integer></integer>")},
      {"a key without a value",
       spoiled("<key>Unread</key>", "<key>Dangling</key><key>Unread</key>")},
      {"the root never closed", spoiled("</plist>", "")},
      {"text after the root", kChargingPhone + "trailing"},
      {"below -2^63",
       spoiled("<integer>-523</integer>", "<integer>-9223372036854775809</integer>")},
      {"array at top", "<plist version=\"1.0\"><array><integer>1</integer></array></plist>"},
      {"binary garbage", std::string("bplist00\xff\xff\xff\x00\x01", 13)},
      {"over 1 MiB", huge},
  };
  for (const auto& c : cases) {
    TempDir root;
    root.write(kStatusPath, c.bytes);
    const Screen s = viewerOnce(root);
    EXPECT_EQ(s.exitCode, 0) << c.name;
    EXPECT_EQ(s.out, zero) << c.name;
  }
}

TEST(ViewerOnce, WronglyTypedValuesReadAsAbsentOrByTheStringRules) {
  TempDir root;
  root.write(kStatusPath,
             plistXml("<key>AppleRawCurrentCapacity</key><string>  900 mAh</string>"
                      "<key>AppleRawMaxCapacity</key><array><integer>1</integer></array>"
                      "<key>InstantAmperage</key><real>-300.9</real>"
                      "<key>Temperature</key><date>2020-01-01T00:00:00Z</date>"
                      "<key>ExternalConnected</key><string>yes</string>"
                      "<key>Voltage</key><integer>9223372036854775808</integer>"
                      "<key>Amperage</key><integer>-9223372036854775808</integer>"
                      "<key>CycleCount</key><integer>-7</integer>"
                      "<key>Manufacturer</key><integer>18446744073709551615</integer>"
                      "<key>Serial</key><data>AAE=</data>"));
  const Screen s = viewerOnce(root);
  ASSERT_EQ(s.exitCode, 0);
  EXPECT_EQ(s.lines.at("currentCap"), "\"900 mAh\"");
  EXPECT_EQ(s.lines.at("maxCap"), "\"0 mAh\"");
  EXPECT_EQ(s.lines.at("currentBatteryLevel"), "\"100.00%\" color=0,0.75,0,1");
  EXPECT_EQ(s.lines.at("remainingTimeLabel"), "\"3 h 0 m\"");
  EXPECT_EQ(s.lines.at("batteryTempLabel"), "\"0.00\u2103\" color=0,0,1,1");
  EXPECT_EQ(s.lines.at("outputLabel"), "\"-2147483648 mA\"");
  EXPECT_EQ(s.lines.at("voltageLabel"), "\"2147483647 mV\"");
  EXPECT_EQ(s.lines.at("cycleLabel"), "\"-7\"");
  EXPECT_EQ(s.lines.at("manufacturerLabel"), "\"18446744073709551615\"");
  EXPECT_EQ(s.lines.at("serialNumberLabel"), "\"(null)\"");
}

TEST(ViewerOnce, StringTableFollowsTheFirstPreferredLanguage) {
  TempDir root;
  root.write(kStatusPath, kChargingPhone);
  const struct {
    const char* languages;
    const char* draining;
    const char* remaining;
    const char* fullLine;
  } cases[] = {
      {"zh-Hans,en", "\u653e\u7535\u4e2d...", "3 \u5c0f\u65f6 20 \u5206\u949f",
       "\u672a\u5728\u5145\u7535"},
      {"zh-Hant", "\u653e\u96fb\u4e2d...", "3 \u5c0f\u6642 20 \u5206\u9418",
       "\u672a\u5728\u5145\u96fb"},
      {"zh-HK,zh-Hans", "Draining...", "3 h 20 m", "No Charging"},
      {"ZH-HANS", "Draining...", "3 h 20 m", "No Charging"},
      {"zh-Hans-CN", "Draining...", "3 h 20 m", "No Charging"},
      {"fr", "Draining...", "3 h 20 m", "No Charging"},
      {"", "Draining...", "3 h 20 m", "No Charging"},
  };
  for (const auto& c : cases) {
    const Screen s = viewerOnce(root, {{"SIM_LANGUAGES", c.languages}});
    EXPECT_EQ(s.lines.at("chargingOrDrainingLabel"), std::string("\"") + c.draining + "\"")
        << c.languages;
    EXPECT_EQ(s.lines.at("remainingTimeLabel"), std::string("\"") + c.remaining + "\"")
        << c.languages;
    EXPECT_EQ(s.lines.at("fullyChargedLabel"), std::string("\"") + c.fullLine + "\"")
        << c.languages;
  }
}

TEST(ViewerOnce, DeviceLineFromTheMachineIdentifier) {
  TempDir root;
  const struct {
    const char* identifier;
    const char* line;
  } cases[] = {{"iPhone7,1", "\"iPhone 6 Plus\""},
               {"iPod5,1", "\"iPod Touch 5\""},
               {"iPhone9,9", "\"iPhone9,9\""},
               {"\xC3\x28", "\"Null\""}};
  for (const auto& c : cases) {
    EXPECT_EQ(viewerOnce(root, {{"SIM_MODEL_IDENTIFIER", c.identifier}}).lines.at("deviceLabel"),
              c.line);
  }
  // Without a simulated model: a laptop's own name from its firmware.
  root.write("dmi/sys_vendor", "LENOVO\n");
  root.write("dmi/product_name", "20XW0055GE\n");
  root.write("dmi/product_version", "ThinkPad X1 Carbon Gen 9\n");
  EXPECT_EQ(viewerOnce(root, {{"SIM_MODEL_IDENTIFIER", std::nullopt},
                              {"SIM_DMI_FOLDER", root.path() + "/dmi"}})
                .lines.at("deviceLabel"),
            "\"LENOVO ThinkPad X1 Carbon Gen 9\"");
}

TEST(ViewerOnce, CommandLine) {
  const auto help = runProcess(BRIMWELL_VIEWER, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--once"), std::string::npos);
  std::istringstream helpLines(help.out);
  for (std::string line; std::getline(helpLines, line);) {
    EXPECT_LE(line.size(), 80u) << line;
    // An example stays on the line of the words it is an example of.
    const size_t text = line.find_first_not_of(' ');
    EXPECT_FALSE(text != std::string::npos && line[text] == '(') << line;
  }
  const auto bad = runProcess(BRIMWELL_VIEWER, {"--bogus"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.err.rfind("BrimwellViewer: unknown argument '--bogus'", 0), 0u) << bad.err;
  // Run as brimwell, the link the package installs, it speaks under that name.
  TempDir links;
  std::filesystem::create_symlink(BRIMWELL_VIEWER, links.path() + "/brimwell");
  const auto linked = runProcess(links.path() + "/brimwell", {"--bogus"});
  EXPECT_EQ(linked.err.rfind("brimwell: unknown argument '--bogus'", 0), 0u) << linked.err;
  // The live screen refuses to start without a terminal instead of garbling a pipe.
  const auto live = runProcess(BRIMWELL_VIEWER, {});
  EXPECT_EQ(live.exitCode, 2);
  EXPECT_EQ(std::count(live.err.begin(), live.err.end(), '\n'), 1);
}

// --json for scripts: a real JSON parser reads it, and what it reads, written the screen's way
// (a key the status lacks is null, where the screen shows 0), is what --once shows.
TEST(ViewerJson, AJsonParserReadsTheScreensValues) {
  const char* script = R"(
import json, sys
d = json.load(sys.stdin)
pct = lambda v: 'nan%' if v is None else '%.2f%%' % v
z = lambda v: 0 if v is None else v  # a key the status lacks: null here, 0 on the screen
print('deviceLabel %s' % json.dumps(d['model'], ensure_ascii=False))
print('currentBatteryLevel "%s"' % pct(d['level']))
print('batteryTempLabel "%.2f\u2103"' % z(d['temperature']))
print('currentLabel "%d mA"' % z(d['current']))
if z(d['current']) != 0:
    t = d['time_to_empty_min'] if d['current'] < 0 else d['time_to_full_min']
    print('remainingTimeLabel "%d h %d m"' % divmod(t, 60))
if d['health'] is not None:  # null stands for both nan% and inf%
    print('batteryHeath "%.2f%%"' % d['health'])
print('cycleLabel "%d"' % z(d['cycle_count']))
print('currentCap "%d mAh"' % z(d['capacity_mAh']))
print('maxCap "%d mAh"' % z(d['full_charge_capacity_mAh']))
print('designCap "%d mAh"' % z(d['design_capacity_mAh']))
print('voltageLabel "%d mV"' % z(d['voltage_mV']))
c = d['charger_current_mA']
print('outputLabel "%s"' % ('%d mA' % z(c) if d['charger_connected'] else 'No Charger'))
for key, outlet in (('manufacturer', 'manufacturerLabel'), ('serial', 'serialNumberLabel')):
    print('%s %s' % (outlet, json.dumps('(null)' if d[key] is None else d[key], ensure_ascii=False)))
assert (d['time_to_empty_min'] is None) or (d['time_to_full_min'] is None)
assert d['charger_connected'] in (True, False, None) and d['fully_charged'] in (True, False, None)
)";
  const struct {
    const char* name;
    std::optional<std::string> file;
  } cases[] = {
      {"draining, a serial with a quote and a degree sign", kChargingPhone},
      {"charging to 80 %",
       plistXml("<key>AppleRawCurrentCapacity</key><integer>400</integer>"
                "<key>AppleRawMaxCapacity</key><integer>800</integer>"
                "<key>InstantAmperage</key><integer>400</integer>"
                "<key>ExternalConnected</key><true/><key>IsCharging</key><true/>")},
      {"charging above 80 %", plistXml("<key>AppleRawCurrentCapacity</key><integer>900</integer>"
                                       "<key>AppleRawMaxCapacity</key><integer>1000</integer>"
                                       "<key>InstantAmperage</key><integer>300</integer>"
                                       "<key>DesignCapacity</key><integer>1000</integer>")},
      {"a maker with a backslash and control characters",
       plistXml("<key>Manufacturer</key><string>A\\B\tC\nD</string>")},
      {"no status file", std::nullopt},
  };
  for (const auto& c : cases) {
    TempDir root;
    if (c.file) root.write(kStatusPath, *c.file);
    const auto json = runProcess(BRIMWELL_VIEWER, {"--json"},
                                 {{"SIM_DEVICE_ROOT", root.path()},
                                  {"SIM_MODEL_IDENTIFIER", "iPhone7,2"},
                                  {"SIM_LANGUAGES", "en"}});
    ASSERT_EQ(json.exitCode, 0) << c.name;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1) << "one line";
    const auto parsed = runProcess("python3", {"-c", script}, {}, json.out);
    ASSERT_EQ(parsed.exitCode, 0) << c.name << "\n" << json.out << parsed.err;
    const std::string screen = "\n" + viewerOnce(root).out;
    std::istringstream lines(parsed.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_NE(screen.find("\n" + line), std::string::npos) << c.name << ": " << line << "\n"
                                                             << screen;
    }
  }
}

TEST(ViewerJson, FollowPrintsALineAtOnceAndStopsCleanly) {
  TempDir root;
  root.write(kStatusPath, kChargingPhone);
  auto vectors = testing_support::spawnVectors(BRIMWELL_VIEWER, {"--json", "--follow"},
                                               {{"SIM_DEVICE_ROOT", root.path()}});
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, BRIMWELL_VIEWER, &actions, nullptr, vectors.argv.data(),
                        vectors.envp.data()),
            0);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string first;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') first.push_back(c);
  EXPECT_EQ(first.rfind("{\"model\":", 0), 0u) << first;
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  close(out[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const struct {
    std::vector<std::string> args;
  } wrong[] = {{{"--follow"}}, {{"--once", "--json"}}};
  for (const auto& w : wrong) {
    const auto result = runProcess(BRIMWELL_VIEWER, w.args);
    EXPECT_EQ(result.exitCode, 2) << w.args[0];
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
}

// --follow pushes: a line at once, one for each change within a second (a file renamed into
// place counts, one only touched does not), one for no status when the file goes, and it waits
// for the folder when there is none yet.
TEST(ViewerJson, FollowPushesEachChangeOfTheStatusFile) {
  TempDir root;
  testing_support::BackgroundProcess follower(BRIMWELL_VIEWER, {"--format", "polybar", "--follow"},
                                              {{"SIM_DEVICE_ROOT", root.path()}});
  EXPECT_EQ(follower.readLine(2000), "") << "no status yet";
  const auto status = [](int charge) {
    return plistXml("<key>AppleRawCurrentCapacity</key><integer>" + std::to_string(charge) +
                    "</integer><key>AppleRawMaxCapacity</key><integer>1000</integer>"
                    "<key>InstantAmperage</key><integer>-500</integer>");
  };
  root.write("/tmp/.new", status(620));  // the folder comes, then the file by rename
  std::filesystem::rename(root.path() + "/tmp/.new", root.path() + kStatusPath);
  EXPECT_EQ(follower.readLine(5000), "62% 1:14") << "within the folder look and a second";
  std::filesystem::last_write_time(root.path() + kStatusPath,
                                   std::filesystem::file_time_type::clock::now());
  root.replace(kStatusPath, status(610));
  EXPECT_EQ(follower.readLine(3000), "61% 1:13") << "the touch gave no line, the change one";
  // The same bytes put in place a second short of stale: the mark comes when they age, and
  // goes when a current copy comes.
  const auto putInPlace = [&](std::chrono::seconds age) {
    root.write("/tmp/.new", status(610));
    std::filesystem::last_write_time(root.path() + "/tmp/.new",
                                     std::filesystem::file_time_type::clock::now() - age);
    std::filesystem::rename(root.path() + "/tmp/.new", root.path() + kStatusPath);
  };
  putInPlace(std::chrono::seconds(11 * 60 - 1));
  EXPECT_EQ(follower.readLine(4000), "61% 1:13?") << "stale";
  putInPlace(std::chrono::seconds(0));
  EXPECT_EQ(follower.readLine(3000), "61% 1:13") << "current again";
  // The folder made again while another process holds the old one open, whose going then says
  // nothing: with the file in it while the follower is stopped, and after the file went.
  const std::string folder = root.path() + "/tmp";
  int held = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  ::kill(follower.pid(), SIGSTOP);
  std::filesystem::remove_all(folder);
  root.write(kStatusPath, status(390));
  ::kill(follower.pid(), SIGCONT);
  EXPECT_EQ(follower.readLine(3000), "39% 0:46") << "with the file";
  root.write(kStatusPath, status(380));
  EXPECT_EQ(follower.readLine(3000), "38% 0:45") << "the folder made again is watched";
  ::close(held);
  std::filesystem::remove(root.path() + kStatusPath);
  EXPECT_EQ(follower.readLine(3000), "") << "no status";
  held = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  std::filesystem::remove(folder);
  root.write(kStatusPath, status(400));
  EXPECT_EQ(follower.readLine(4000), "40% 0:48") << "the file went first";
  ::close(held);
  EXPECT_EQ(follower.stop(), "");
}

// i3blocks, run persistently, takes each line as a full text: the follower gives it that alone.
TEST(ViewerJson, FollowedForI3blocksTheFullTextAlone) {
  TempDir root;
  root.write(kStatusPath, kChargingPhone);
  const std::string once =
      runProcess(BRIMWELL_VIEWER, {"--format", "i3blocks"}, {{"SIM_DEVICE_ROOT", root.path()}}).out;
  testing_support::BackgroundProcess follower(BRIMWELL_VIEWER, {"--format", "i3blocks", "--follow"},
                                              {{"SIM_DEVICE_ROOT", root.path()}});
  EXPECT_EQ(follower.readLine(2000), once.substr(0, once.find('\n')));
  EXPECT_EQ(follower.readLine(1000), std::nullopt) << "no short text, no colour";
  follower.stop();
}

const char* kDevicesPath = "/tmp/batteryDevices.plist";

// A hidpp mouse that tells only its word, a headset at 8 %, a controller before its first
// report and a keyboard gone for 3 h, as the host lists them; last seen relative to `now`.
std::string fixtureDevices(double now, int headsetLevel = 8,
                           const std::string& mouseName = "MX Master 3") {
  const auto entry = [](const std::string& id, const std::string& name, const std::string& kind,
                        const std::string& more) {
    return "<dict><key>Id</key><string>" + id + "</string><key>Name</key><string>" + name +
           "</string><key>Kind</key><string>" + kind + "</string>" + more + "</dict>";
  };
  const std::string seen = "<key>LastSeen</key><real>" + std::to_string(now) + "</real>";
  return plistXml(
      "<key>Devices</key><array>" +
      entry("serial:4a1b", mouseName, "mouse",
            "<key>LevelWord</key><string>Normal</string><key>State</key><string>discharging"
            "</string><key>Connected</key><true/>" +
                seen) +
      entry("address:AA:BB:CC:DD:EE:FF", "WH-1000XM4", "headset",
            "<key>Level</key><integer>" + std::to_string(headsetLevel) +
                "</integer><key>State</key><string>discharging</string>" + seen) +
      entry("supply:ps-controller-battery-aa", "DualSense", "controller",
            "<key>State</key><string>unknown</string>") +
      entry("serial:k1", "K380", "keyboard",
            "<key>Level</key><integer>64</integer><key>Connected</key><false/><key>LastSeen"
            "</key><real>" +
                std::to_string(now - 3 * 3600 - 30) + "</real>") +
      "</array>");
}

// A device named with 300 characters.
const std::string kLongName = std::string(296, 'm') + "Tail";
std::string longNamed() {
  return plistXml(
      "<key>Devices</key><array><dict><key>Id</key><string>serial:1</string><key>"
      "Name</key><string>" +
      kLongName + "</string></dict></array>");
}

double wallClock() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// A laptop's status in its own units, and the user's other batteries below it: on the table,
// in --json, in the bars (one device with --device, every device in the main tooltip); no
// devices file, or a damaged one, is no devices and no error.
TEST(ViewerDevices, EachDeviceOnTheTableInJsonAndInTheBars) {
  const std::string laptop = plistXml(
      "<key>AppleRawCurrentCapacity</key><integer>2700</integer><key>AppleRawMaxCapacity"
      "</key><integer>4000</integer><key>ChargingState</key><string>discharging</string>"
      "<key>BatteryPower</key><integer>-10234</integer><key>BatteryEnergy</key><integer>30780"
      "</integer><key>BatteryEnergyFull</key><integer>45600</integer>");
  const struct {
    const char* name;
    std::optional<std::string> devices;
    std::vector<std::string> args;
    std::string out;  // the whole output, or the part after "...", where it ends so
    std::string err = "";
  } cases[] = {
      {"the table",
       fixtureDevices(wallClock()),
       {"--once"},
       "...powerLabel \"-10.2 W\"\nenergyLabel \"30.8 Wh of 45.6 Wh\"\n"
       "deviceLine \"Mouse MX Master 3\" \"Normal, discharging\"\n"
       "deviceLine \"Headset WH-1000XM4\" \"8 %, discharging\"\n"
       "deviceLine \"Controller DualSense\" \"unknown\"\n"
       "deviceLine \"Keyboard K380\" \"last seen 3 h ago\"\n"},
      {"the headset in waybar",
       fixtureDevices(wallClock()),
       {"--format", "waybar", "--device", "headset"},
       "{\"text\":\"8%\",\"alt\":\"headset\",\"tooltip\":\"Headset WH-1000XM4\\n8 %, "
       "discharging\",\"class\":[\"discharging\",\"warning\"],\"percentage\":8}\n"},
      {"the mouse in i3blocks, by its name",
       fixtureDevices(wallClock()),
       {"--format", "i3blocks", "--device", "mx master 3"},
       "Normal\nNormal\n\n"},
      {"the headset in polybar",
       fixtureDevices(wallClock()),
       {"--format", "polybar", "--device", "WH-1000XM4"},
       "%{F#ff8000}8%%{F-}\n"},
      {"a keyboard gone is not shown",
       fixtureDevices(wallClock()),
       {"--format", "waybar", "--device", "keyboard"},
       ""},
      {"no pen",
       fixtureDevices(wallClock(), 8, "Bluetooth Mouse M336"),
       {"--format", "waybar", "--device", "pen"},
       "",
       "BrimwellViewer: no device \"pen\" by name or kind; the host lists \"Bluetooth Mouse "
       "M336\", Headset \"WH-1000XM4\", Controller \"DualSense\", Keyboard \"K380\"\n"},
      {"the kind only where it adds to the name",
       fixtureDevices(wallClock(), 8, "Bluetooth Mouse M336"),
       {"--once"},
       "...deviceLine \"Bluetooth Mouse M336\" \"Normal, discharging\"\n"
       "deviceLine \"Headset WH-1000XM4\" \"8 %, discharging\"\n"
       "deviceLine \"Controller DualSense\" \"unknown\"\n"
       "deviceLine \"Keyboard K380\" \"last seen 3 h ago\"\n"},
      {"every device in the battery's tooltip",
       fixtureDevices(wallClock()),
       {"--format", "waybar"},
       "...\\nMouse MX Master 3: Normal, discharging\\nHeadset WH-1000XM4: "
       "8 %, discharging\\nController DualSense: unknown\\nKeyboard K380: last seen 3 h ago\","
       "\"class\":[\"discharging\"],\"percentage\":68}\n"},
      {"no devices file",
       std::nullopt,
       {"--format", "i3blocks", "--device", "headset"},
       "",
       "BrimwellViewer: no device \"headset\" by name or kind; the host lists none\n"},
      {"no devices file, no lines",
       std::nullopt,
       {"--once"},
       "...energyLabel \"30.8 Wh of 45.6 Wh\"\n"},
      {"no devices file, no devices in JSON",
       std::nullopt,
       {"--json"},
       "...\"last_sleep_external_power\":null}\n"},
      {"a long name cut to the table's row",
       longNamed(),
       {"--once"},
       "...deviceLine \"" + std::string(51, 'm') + "\u2026\" \"unknown\"\n"},
      {"a long name whole in JSON",
       longNamed(),
       {"--json"},
       "...\"name\":\"" + kLongName +
           "\",\"kind\":\"other\",\"level\":null,\"level_word\":null,"
           "\"state\":\"unknown\",\"connected\":true,\"last_seen\":null}]}\n"},
      {"a damaged devices file",
       std::string("<plist><dict><key>Devices</key><array><dict>"),
       {"--once"},
       "...energyLabel \"30.8 Wh of 45.6 Wh\"\n"},
  };
  for (const auto& c : cases) {
    TempDir root;
    root.write(kStatusPath, laptop);
    if (c.devices) root.write(kDevicesPath, *c.devices);
    const auto run = runProcess(BRIMWELL_VIEWER, c.args,
                                {{"SIM_DEVICE_ROOT", root.path()}, {"SIM_LANGUAGES", "en"}});
    EXPECT_EQ(run.exitCode, 0) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
    if (c.out.rfind("...", 0) == 0) {
      const std::string end = c.out.substr(3);
      EXPECT_TRUE(run.out.size() >= end.size() &&
                  run.out.compare(run.out.size() - end.size(), end.size(), end) == 0)
          << c.name << "\n"
          << run.out;
    } else {
      EXPECT_EQ(run.out, c.out) << c.name;
    }
  }
}

// --json's devices, as a JSON parser reads them, beside the laptop's energies.
TEST(ViewerDevices, JsonListsTheDevices) {
  TempDir root;
  const double now = wallClock();
  root.write(kStatusPath, plistXml("<key>AppleRawMaxCapacity</key><integer>4000</integer>"
                                   "<key>ChargingState</key><string>full</string>"));
  root.write(kDevicesPath, fixtureDevices(now));
  const auto json = runProcess(BRIMWELL_VIEWER, {"--json"}, {{"SIM_DEVICE_ROOT", root.path()}});
  const char* script = R"(
import json, sys
d = json.load(sys.stdin)
print('energy_Wh' in d, 'energy_full_Wh' in d)
for x in d['devices']:
    print(x['id'], x['kind'], x['level'], x['level_word'], x['state'], x['connected'],
          x['last_seen'] is None)
)";
  const auto parsed = runProcess("python3", {"-c", script}, {}, json.out);
  EXPECT_EQ(parsed.out,
            "False False\n"
            "serial:4a1b mouse None Normal discharging True False\n"
            "address:AA:BB:CC:DD:EE:FF headset 8 None discharging True False\n"
            "supply:ps-controller-battery-aa controller None None unknown True True\n"
            "serial:k1 keyboard 64 None unknown False False\n")
      << json.out << parsed.err;
}

// The live screen ends with the Devices section, a long name cut to its row.
TEST(ViewerDevices, TheLiveScreenEndsWithThem) {
  TempDir root;
  root.write(kStatusPath, kChargingPhone);
  root.write(kDevicesPath, fixtureDevices(wallClock(), 8, kLongName));
  const auto screen = testing_support::runOnTerminal(
      BRIMWELL_VIEWER, {}, {{"SIM_DEVICE_ROOT", root.path()}, {"TERM", "xterm-256color"}}, 100, 60,
      1.5);
  const size_t devices = screen.out.find("Devices");
  ASSERT_NE(devices, std::string::npos) << screen.out;
  EXPECT_LT(screen.out.find("Serial Number"), devices);
  EXPECT_NE(screen.out.find("last seen 3 h ago", devices), std::string::npos) << screen.out;
  EXPECT_NE(screen.out.find("Mouse " + std::string(33, 'm') + "\u2026", devices), std::string::npos)
      << "a long name cut before its value" << screen.out;
  EXPECT_EQ(screen.out.find("Tail"), std::string::npos) << screen.out;
}

// A bar that follows one device prints a line when its line changes, none when another device
// or the battery changes, and an empty one when it goes.
TEST(ViewerDevices, FollowFollowsTheDevice) {
  TempDir root;
  root.write(kDevicesPath, fixtureDevices(wallClock()));
  testing_support::BackgroundProcess follower(
      BRIMWELL_VIEWER, {"--format", "polybar", "--device", "headset", "--follow"},
      {{"SIM_DEVICE_ROOT", root.path()}});
  EXPECT_EQ(follower.readLine(2000), "%{F#ff8000}8%%{F-}");
  root.replace(kDevicesPath, fixtureDevices(wallClock(), 4));
  EXPECT_EQ(follower.readLine(3000), "%{F#cc0000}4%%{F-}");
  root.replace(kStatusPath, kChargingPhone);
  root.replace(kDevicesPath, fixtureDevices(wallClock() + 1, 4));
  std::filesystem::remove(root.path() + kDevicesPath);
  EXPECT_EQ(follower.readLine(3000), "") << "gone, with no line between";
  EXPECT_EQ(follower.stop(), "");
}

// The battery's follower prints a line only when its own output changes: at a change of a device
// where it shows the devices (waybar's tooltip, JSON), never where it does not.
TEST(ViewerDevices, TheBatterysFollowerPrintsOnlyWhatChanged) {
  const struct {
    const char* format;
    bool showsDevices;
  } cases[] = {{"i3blocks", false}, {"polybar", false}, {"waybar", true}, {"json", true}};
  for (const auto& c : cases) {
    TempDir root;
    root.write(kStatusPath, kChargingPhone);
    root.write(kDevicesPath, fixtureDevices(wallClock()));
    testing_support::BackgroundProcess follower(BRIMWELL_VIEWER, {"--format", c.format, "--follow"},
                                                {{"SIM_DEVICE_ROOT", root.path()}});
    const auto first = follower.readLine(2000);
    ASSERT_TRUE(first.has_value()) << c.format;
    root.replace(kDevicesPath, fixtureDevices(wallClock(), 4));
    const auto atTheDevice = follower.readLine(c.showsDevices ? 3000 : 1000);
    EXPECT_EQ(atTheDevice.has_value(), c.showsDevices) << c.format << ": " << *first;
    EXPECT_TRUE(!atTheDevice || atTheDevice != first)
        << c.format << ": a line that says nothing new";
    root.replace(kStatusPath, plistXml("<key>AppleRawCurrentCapacity</key><integer>500</integer>"
                                       "<key>AppleRawMaxCapacity</key><integer>1000</integer>"));
    const auto atTheBattery = follower.readLine(3000);
    EXPECT_TRUE(atTheBattery && atTheBattery != first) << c.format;
    follower.stop();
  }
}

// The live screen, before the host ever wrote a status: the zeros, and a footer that says why.
TEST(ViewerScreen, BeforeTheHostEverRanTheFooterSaysSo) {
  for (const bool written : {false, true}) {
    TempDir root;
    if (written) root.write(kStatusPath, kChargingPhone);
    const auto screen = testing_support::runOnTerminal(
        BRIMWELL_VIEWER, {}, {{"SIM_DEVICE_ROOT", root.path()}, {"TERM", "xterm-256color"}}, 160,
        40, 1.5);
    EXPECT_EQ(screen.out.find("No battery status at " + root.path() + kStatusPath + " yet") !=
                  std::string::npos,
              !written);
    EXPECT_EQ(screen.out.find("Start springboard-sim on this device") != std::string::npos,
              !written);
    EXPECT_EQ(screen.out.find("q quit, arrows scroll") != std::string::npos, written);
  }
}

}  // namespace
