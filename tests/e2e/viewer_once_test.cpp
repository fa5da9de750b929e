// Runs the built BrimwellViewer --once against device roots of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
  for (std::string line; std::getline(helpLines, line);) EXPECT_LE(line.size(), 80u) << line;
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
  root.write(kStatusPath, status(610));
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
