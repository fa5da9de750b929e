// The Debian package as a user gets it: unpacked into an empty folder and run from there, with
// the user's own places and no simulated device; and the manual pages beside the programs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "tests/support/power_supply_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::readFile;
using testing_support::runProcess;
using testing_support::TempDir;
namespace fs = std::filesystem;

unsigned folderMode(const std::string& path) {
  struct stat s {};
  return ::stat(path.c_str(), &s) == 0 ? (s.st_mode & 07777) : 0;
}

// Builds the package into dir/out and unpacks it into dir/root, which it returns.
std::string unpackPackage(const TempDir& dir) {
  const auto pack = runProcess(CPACK_COMMAND, {"-G", "DEB", "-B", dir.path() + "/out", "--config",
                                               BRIMWELL_BUILD_DIR "/CPackConfig.cmake"});
  EXPECT_EQ(pack.exitCode, 0) << pack.out << pack.err;
  std::string deb;
  for (const auto& entry : fs::directory_iterator(dir.path() + "/out")) {
    if (entry.path().extension() == ".deb") deb = entry.path();
  }
  EXPECT_NE(deb, "") << pack.out;
  const std::string root = dir.path() + "/root";
  EXPECT_EQ(runProcess("dpkg-deb", {"-x", deb, root}).exitCode, 0);
  return root;
}

// A status file another user could leave in the shared /tmp, removed again if this test put it
// there.
class PlantedStatusFile {
 public:
  PlantedStatusFile() {
    if (fs::exists(kPath)) return;
    std::ofstream(kPath) << testing_support::plistXml(
        "<key>Manufacturer</key><string>Planted</string>"
        "<key>AppleRawCurrentCapacity</key><integer>13</integer>");
    planted_ = true;
  }
  ~PlantedStatusFile() {
    if (planted_) ::unlink(kPath);
  }
  PlantedStatusFile(const PlantedStatusFile&) = delete;
  PlantedStatusFile& operator=(const PlantedStatusFile&) = delete;

 private:
  static constexpr const char* kPath = "/tmp/batteryStatus.plist";
  bool planted_ = false;
};

TEST(InstalledPackage, RunsForTheUserFromAnUnpackedFolderWithoutASimulatedDevice) {
  TempDir dir;
  const std::string root = unpackPackage(dir);
  const std::string bin = root + "/usr/bin/";
  const std::string home = dir.path() + "/home", runtime = dir.path() + "/run",
                    config = dir.path() + "/config";
  fs::create_directories(home);
  fs::create_directories(runtime);
  const std::map<std::string, std::optional<std::string>> user = {{"SIM_DEVICE_ROOT", std::nullopt},
                                                                  {"HOME", home},
                                                                  {"XDG_RUNTIME_DIR", runtime},
                                                                  {"XDG_CONFIG_HOME", config},
                                                                  {"XDG_CACHE_HOME", std::nullopt},
                                                                  {"LANGUAGE", std::nullopt},
                                                                  {"LC_ALL", "C"}};
  const PlantedStatusFile planted;

  for (const auto& args : std::vector<std::vector<std::string>>{{"set", "chargeMode", "2"},
                                                                {"set", "isPopAlert", "on"}}) {
    const auto prefs = runProcess(bin + "brimwell-prefs", args, user);
    ASSERT_EQ(prefs.exitCode, 0) << prefs.err;
  }
  EXPECT_TRUE(fs::exists(config + "/brimwell/org.tarnel.Brimwell.plist"));
  EXPECT_EQ(folderMode(config + "/brimwell"), 0700u);

  // Before the host has run there is no status to show, whatever /tmp holds, and the screen
  // says so rather than show a device's zeros as figures.
  const std::string before = runProcess(bin + "BrimwellViewer", {"--once"}, user).out;
  EXPECT_EQ(before.find("Planted"), std::string::npos);
  EXPECT_NE(before.find("currentBatteryLevel \"No status yet\"\nbatteryTempLabel \"\u2014\"\n"
                        "chargingOrDrainingLabel \"Current\"\ncurrentLabel \"\u2014\"\n"),
            std::string::npos)
      << before;
  for (const char* zero : {"nan", "0.00", "0 mA", "(null)", "No Charger"}) {
    EXPECT_EQ(before.find(zero), std::string::npos) << zero << "\n" << before;
  }

  // A laptop held full on its charger.
  testing_support::writeSupply(dir, "sys", "BAT0",
                               {{"type", "Battery"},
                                {"status", "Full"},
                                {"charge_now", "4080000"},
                                {"charge_full", "4080000"},
                                {"charge_full_design", "4400000"}});
  testing_support::writeSupply(dir, "sys", "AC", testing_support::mainsAdapter(true));
  // The laptop's service, as its unit runs it.
  // Here with no system bus: the one thing it says.
  auto withoutBus = user;
  withoutBus["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + dir.path() + "/no-bus";
  const auto host = runProcess(
      bin + "brimwelld",
      {"--sysfs", dir.path() + "/sys", "--no-desktop-alerts", "--poll", "0.1", "--duration", "0.3"},
      withoutBus);
  ASSERT_EQ(host.exitCode, 0) << host.err;
  EXPECT_EQ(
      host.err,
      "brimwelld: cannot reach the system bus: No such file or directory; sleeps are measured "
      "less precisely, from the clock once the machine woke\n");
  EXPECT_NE(host.out.find("] alert \"Charging is complete\"\n"), std::string::npos) << host.out;
  EXPECT_TRUE(fs::exists(runtime + "/brimwell/batteryStatus.plist"));
  EXPECT_EQ(folderMode(runtime + "/brimwell"), 0700u);
  EXPECT_FALSE(fs::exists(home + "/.cache")) << "the runtime folder is the first choice";

  const auto viewer = runProcess(bin + "BrimwellViewer", {"--once"}, user);
  ASSERT_EQ(viewer.exitCode, 0) << viewer.err;
  EXPECT_NE(viewer.out.find("fullyChargedLabel \"Yes\"\n"), std::string::npos) << viewer.out;
  EXPECT_NE(viewer.out.find("designCap \"4400 mAh\"\n"), std::string::npos) << viewer.out;
  EXPECT_EQ(viewer.out.find("Planted"), std::string::npos);

  // The user unit, pointed at the unpacked host, passes systemd's own check (its manual page
  // references included).
  std::string unit = readFile(root + "/usr/lib/systemd/user/brimwell.service");
  const std::string execStart = "ExecStart=/usr/bin/brimwelld\n";
  const size_t at = unit.find(execStart);
  ASSERT_NE(at, std::string::npos) << unit;
  unit.replace(at, execStart.size(), "ExecStart=" + bin + "brimwelld\n");
  std::ofstream(dir.path() + "/brimwell.service") << unit;
  const auto verify = runProcess("systemd-analyze", {"verify", dir.path() + "/brimwell.service"},
                                 {{"MANPATH", root + "/usr/share/man"}});
  EXPECT_EQ(verify.exitCode, 0) << verify.err;
  EXPECT_EQ(verify.err, "");
}

// The page's text as a reader sees the option names: "\-\-source" is "--source".
std::string pageText(const std::string& program) {
  std::string page = readFile(BRIMWELL_BUILD_DIR "/share/man/man1/" + program + ".1");
  page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
  return std::regex_replace(page, std::regex(R"(\\-)"), "-");
}

// What --help offers: every --option, and the commands its usage lines name.
std::set<std::string> helpWords(const std::string& program, const std::string& help) {
  std::set<std::string> words;
  const std::regex option(R"(--[a-z][a-z-]*)");
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
    words.insert(it->str());
  }
  const std::regex command("(?:usage:|\n) +" + program + " \\[?([a-z]+)");
  for (std::sregex_iterator it(help.begin(), help.end(), command), end; it != end; ++it) {
    words.insert((*it)[1]);
  }
  return words;
}

const char* const kPrograms[] = {"BrimwellViewer", "springboard-sim", "brimwell-prefs",
                                 "brimwelld"};

// Each program's page names what its help offers; an option it does not know is one line under
// its own name and exit 2.
TEST(ManualPages, NameEveryOptionTheHelpOffersAndTheVersion) {
  for (const std::string program : kPrograms) {
    const std::string exe = BRIMWELL_BUILD_DIR "/bin/" + program;
    const auto help = runProcess(exe, {"--help"});
    ASSERT_EQ(help.exitCode, 0) << program;
    const std::set<std::string> words = helpWords(program, help.out);
    EXPECT_GE(words.size(), 3u) << program << ": " << help.out;
    const std::string page = pageText(program);
    for (const std::string& word : words) {
      EXPECT_NE(page.find(word), std::string::npos) << program << "(1) lacks " << word;
    }
    EXPECT_EQ(runProcess(exe, {"--version"}).out, program + " " BRIMWELL_VERSION "\n");
    const auto unknown = runProcess(exe, {"--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2) << program;
    EXPECT_EQ(unknown.err.rfind(program + ": unknown ", 0), 0u) << unknown.err;
    EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << unknown.err;
    EXPECT_NE(page.find("\"Brimwell " BRIMWELL_VERSION "\""), std::string::npos) << program;
  }
}

TEST(ManualPages, RenderWithoutWarnings) {
  for (const std::string program : kPrograms) {
    const auto man = runProcess(
        "man", {"--warnings", "-l", BRIMWELL_BUILD_DIR "/share/man/man1/" + program + ".1"},
        {{"MANWIDTH", "80"}, {"MANPAGER", "cat"}, {"PAGER", "cat"}});
    EXPECT_EQ(man.exitCode, 0) << program;
    EXPECT_EQ(man.err, "") << program;
    EXPECT_NE(man.out.find("SYNOPSIS"), std::string::npos) << program;
  }
}

}  // namespace
