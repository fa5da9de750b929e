// The Debian package as a user gets it: unpacked into an empty folder and run from there, with
// the user's own places and no simulated device; and the manual pages beside the programs.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "charge/charge_bus.h"
#include "tests/support/mock_bus.h"
#include "tests/support/other_user.h"  // kSetpriv
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

// A bus with the system bus's own defaults (no name owned, no method called, but where a
// service's policy allows it), the package's activation folder and its policy for the service.
std::string systemBusConfig(const std::string& root, const std::string& dir) {
  const std::string path = dir + "/system-bus.conf";
  std::ofstream(path)
      << "<busconfig><listen>unix:dir=/tmp</listen><auth>EXTERNAL</auth>"
         "<servicedir>"
      << root
      << "/usr/share/dbus-1/system-services</servicedir>"
         "<policy context=\"default\"><allow user=\"*\"/><deny own=\"*\"/>"
         "<deny send_type=\"method_call\"/><allow send_type=\"signal\"/>"
         "<allow send_requested_reply=\"true\" send_type=\"method_return\"/>"
         "<allow send_requested_reply=\"true\" send_type=\"error\"/>"
         "<allow receive_type=\"method_call\"/><allow receive_type=\"method_return\"/>"
         "<allow receive_type=\"error\"/><allow receive_type=\"signal\"/>"
         "<allow send_destination=\"org.freedesktop.DBus\" "
         "send_interface=\"org.freedesktop.DBus\"/>"
         "</policy><include>"
      << root << "/usr/share/dbus-1/system.d/" << brimwell::charge::kBusName
      << ".conf</include></busconfig>";
  return path;
}

// The service's stand-in: the name and one method of the interface, beside dbusmock's own.
constexpr const char* kChargeStandIn =
    "BUS_NAME = 'org.tarnel.Brimwell.Charge'\n"
    "MAIN_OBJ = '/org/tarnel/Brimwell/Charge'\n"
    "MAIN_IFACE = 'org.tarnel.Brimwell.Charge1'\n"
    "SYSTEM_BUS = True\n"
    "def load(mock, parameters):\n"
    "    mock.AddMethod(MAIN_IFACE, 'GetLimits', '', 'a(sbubub)', 'ret = []')\n";

// Only root owns the name, and anyone calls only its methods (and reads its description), on a
// bus that includes the package's policy; why not where it cannot be checked.
std::optional<std::string> checkChargeBusPolicy(const std::string& root, const TempDir& dir) {
  if (const auto why = testing_support::MockBus::unavailable()) return why;
  // Another user has an account, which the bus looks up; only root may call as one.
  const passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || nobody == nullptr) return "the bus policy needs root and nobody";
  testing_support::MockBus bus(systemBusConfig(root, dir.path()));
  const std::string standIn = dir.write("charge_stand_in.py", kChargeStandIn);
  EXPECT_TRUE(bus.startTemplate(standIn, brimwell::charge::kBusName, true)) << "root owns it";

  const std::string name = brimwell::charge::kBusName, ours = brimwell::charge::kInterface,
                    fdo = "org.freedesktop.DBus";
  struct Call {
    bool asOtherUser;
    std::string destination, method;
    std::vector<std::string> args;
    const char* answer;  // in what dbus-send prints
  };
  const Call calls[] = {
      {true, name, ours + ".GetLimits", {}, "array ["},
      {true, name, fdo + ".Introspectable.Introspect", {}, "<node"},
      {true, name, fdo + ".Mock.ClearCalls", {}, "AccessDenied"},
      {false, name, fdo + ".Mock.ClearCalls", {}, "AccessDenied"},
      {true, name, fdo + ".Properties.GetAll", {"string:" + ours}, "AccessDenied"},
      {true, name, fdo + ".Peer.Ping", {}, "AccessDenied"},
      {true, fdo, fdo + ".RequestName", {"string:" + name, "uint32:0"}, "AccessDenied"},
      {true, fdo, fdo + ".ListActivatableNames", {}, "\"org.tarnel.Brimwell.Charge\""},
  };
  const std::string otherUid = std::to_string(nobody->pw_uid),
                    otherGid = std::to_string(nobody->pw_gid);
  for (const Call& call : calls) {
    const std::string object =
        call.destination == name ? brimwell::charge::kObjectPath : "/org/freedesktop/DBus";
    std::vector<std::string> line = {"--bus=" + bus.address(), "--print-reply",
                                     "--dest=" + call.destination, object, call.method};
    line.insert(line.end(), call.args.begin(), call.args.end());
    if (call.asOtherUser) {
      line.insert(line.begin(), {"--reuid=" + otherUid, "--regid=" + otherGid, "--clear-groups",
                                 "--", "/usr/bin/dbus-send"});
    }
    const auto sent =
        runProcess(call.asOtherUser ? testing_support::kSetpriv : "/usr/bin/dbus-send", line);
    EXPECT_NE((sent.out + sent.err).find(call.answer), std::string::npos)
        << call.method << (call.asOtherUser ? " as another user: " : " as root: ") << sent.out
        << sent.err;
  }
  return std::nullopt;
}

// The action's id and who gets it: the active local user without a password, others as an
// administrator.
void checkPolkitAction(const std::string& root) {
  const auto parsed = runProcess(
      "python3", {"-c",
                  "import sys, xml.dom.minidom as m\n"
                  "for a in m.parse(sys.argv[1]).getElementsByTagName('action'):\n"
                  "    d = a.getElementsByTagName('defaults')[0]\n"
                  "    print(a.getAttribute('id'), *(d.getElementsByTagName(k)[0].firstChild.data\n"
                  "          for k in ('allow_any', 'allow_inactive', 'allow_active')))\n",
                  root + "/usr/share/polkit-1/actions/org.tarnel.brimwell.policy"});
  EXPECT_EQ(parsed.exitCode, 0) << parsed.err;
  EXPECT_EQ(parsed.out,
            std::string(brimwell::charge::kPolkitAction) + " auth_admin auth_admin yes\n");
}

// systemd's own check of the unit, pointed at the unpacked program as the user unit's is.
std::optional<std::string> checkSystemUnitVerifies(const std::string& root, const TempDir& dir) {
  std::string unit = readFile(root + "/lib/systemd/system/brimwell-charge.service");
  // The boot id from systemd: the unit's own /proc hides the kernel's.
  const std::string execStart = "ExecStart=/usr/libexec/brimwell-charge --boot-id %b\n";
  const size_t at = unit.find(execStart);
  if (at == std::string::npos) {
    ADD_FAILURE() << unit;
    return std::nullopt;
  }
  unit.replace(at, execStart.size(),
               "ExecStart=" + root + "/usr/libexec/brimwell-charge --boot-id %b\n");
  std::ofstream(dir.path() + "/brimwell-charge.service") << unit;
  const auto verify =
      runProcess("systemd-analyze", {"verify", dir.path() + "/brimwell-charge.service"},
                 {{"MANPATH", root + "/usr/share/man"}});
  EXPECT_EQ(verify.exitCode, 0) << verify.err;
  EXPECT_EQ(verify.err, "");
  return std::nullopt;
}

// The exposure systemd rates the unit file at: 2.0 or less is "OK" or better.
std::optional<std::string> checkSystemUnitRating(const std::string& root) {
  const auto rated =
      runProcess("systemd-analyze", {"security", "--offline=yes", "--no-pager",
                                     root + "/lib/systemd/system/brimwell-charge.service"});
  if (rated.err.find("offline") != std::string::npos && rated.exitCode != 0) {
    return "this systemd-analyze rates no unit file offline: " + rated.err;
  }
  std::smatch level;
  const bool found = std::regex_search(rated.out, level,
                                       std::regex(R"(Overall exposure level for \S+: ([0-9.]+))"));
  EXPECT_TRUE(found) << rated.out << rated.err;
  if (found) {
    EXPECT_LE(std::stod(level[1]), 2.0) << rated.out;
  }
  return std::nullopt;
}

// The charge service as the package installs it for the system bus, polkit, systemd and udev
// (one package build for all of it: building it is the slow part).
TEST(InstalledPackage, InstallsTheChargeServiceForTheSystemBusPolkitSystemdAndUdev) {
  TempDir dir;
  const std::string root = unpackPackage(dir);
  std::vector<std::string> files = {
      "/usr/share/dbus-1/system-services/" + std::string(brimwell::charge::kBusName) + ".service",
      "/usr/share/dbus-1/system.d/" + std::string(brimwell::charge::kBusName) + ".conf",
      "/usr/share/polkit-1/actions/org.tarnel.brimwell.policy",
      "/lib/systemd/system/brimwell-charge.service",
      "/lib/udev/rules.d/70-brimwell-charge.rules",
      "/usr/share/man/man8/brimwell-charge.8.gz",
      "/usr/libexec/brimwell-charge"};
  for (const std::string& file : files) {
    EXPECT_TRUE(fs::is_regular_file(root + file)) << file;
  }
  // The bus starts it through its unit, as root, from where the package puts it.
  const std::string activation = readFile(root + files[0]);
  for (const char* line : {"Exec=/usr/libexec/brimwell-charge\n", "User=root\n",
                           "SystemdService=brimwell-charge.service\n"}) {
    EXPECT_NE(activation.find(line), std::string::npos) << line << activation;
  }
  checkPolkitAction(root);
  std::string unchecked;
  for (const auto& why : {checkChargeBusPolicy(root, dir), checkSystemUnitVerifies(root, dir),
                          checkSystemUnitRating(root)}) {
    if (why) unchecked += "; " + *why;
  }
  if (!unchecked.empty()) GTEST_SKIP() << "the rest passed; not checked here" << unchecked;
}

// The page's text as a reader sees the option names: "\-\-source" is "--source".
std::string pageText(const std::string& program, char section = '1') {
  std::string page = readFile(BRIMWELL_BUILD_DIR "/share/man/man" + std::string(1, section) + "/" +
                              program + "." + section);
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

struct Page {
  std::string program;
  char section;
};
const Page kPages[] = {{"BrimwellViewer", '1'},
                       {"springboard-sim", '1'},
                       {"brimwell-prefs", '1'},
                       {"brimwelld", '1'},
                       {"brimwell-charge", '8'}};

// Each program's page names what its help offers; an option it does not know is one line under
// its own name and exit 2.
TEST(ManualPages, NameEveryOptionTheHelpOffersAndTheVersion) {
  for (const auto& [program, section] : kPages) {
    const std::string exe = BRIMWELL_BUILD_DIR "/bin/" + program;
    const auto help = runProcess(exe, {"--help"});
    ASSERT_EQ(help.exitCode, 0) << program;
    const std::set<std::string> words = helpWords(program, help.out);
    EXPECT_GE(words.size(), 3u) << program << ": " << help.out;
    const std::string page = pageText(program, section);
    for (const std::string& word : words) {
      EXPECT_NE(page.find(word), std::string::npos) << program << " lacks " << word;
    }
    EXPECT_EQ(runProcess(exe, {"--version"}).out, program + " " BRIMWELL_VERSION "\n");
    const auto unknown = runProcess(exe, {"--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2) << program;
    EXPECT_EQ(unknown.err.rfind(program + ": unknown ", 0), 0u) << unknown.err;
    EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << unknown.err;
    EXPECT_NE(page.find("\"Brimwell " BRIMWELL_VERSION "\""), std::string::npos) << program;
  }
}

// The page as a reader sees it at 80 columns: each line, its blanks run together and a word
// hyphenated at a line's end made whole again.
std::vector<std::string> renderedLines(const std::string& program, char section) {
  const std::string manDir = BRIMWELL_BUILD_DIR "/share/man/man" + std::string(1, section);
  const auto man = runProcess("man", {"-l", manDir + "/" + program + "." + section},
                              {{"MANWIDTH", "80"}, {"MANPAGER", "cat"}, {"PAGER", "cat"}});
  const std::string text = std::regex_replace(man.out, std::regex("\xe2\x80\x90\n *"), "");
  std::vector<std::string> lines;
  std::istringstream in(std::regex_replace(text, std::regex(" +"), " "));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What the pages say of what the programs do, as the programs do it; an example kept on one
// line where the page folds its text.
TEST(ManualPages, SayWhatTheProgramsDo) {
  const struct {
    Page page;
    const char* said;
    bool oneLine;
  } rows[] = {
      {{"brimwell-charge", '8'},
       "At most 8 calls from one user, and 64 in all, wait for polkit",
       false},
      {{"BrimwellViewer", '1'}, "(10m, 24h, 7d, 30d, 1.5h)", true},
      {{"brimwell-prefs", '1'}, "A value the user has not set is marked (default)", false},
  };
  for (const auto& r : rows) {
    std::string joined;
    bool onALine = false;
    for (const std::string& line : renderedLines(r.page.program, r.page.section)) {
      joined += line + " ";
      onALine = onALine || line.find(r.said) != std::string::npos;
    }
    joined = std::regex_replace(joined, std::regex(" +"), " ");
    EXPECT_NE(joined.find(r.said), std::string::npos) << r.page.program << ": " << r.said;
    EXPECT_TRUE(onALine || !r.oneLine) << r.page.program << ": " << r.said;
  }
}

TEST(ManualPages, RenderWithoutWarnings) {
  for (const auto& [program, section] : kPages) {
    const std::string manDir = BRIMWELL_BUILD_DIR "/share/man/man" + std::string(1, section);
    const auto man = runProcess("man", {"--warnings", "-l", manDir + "/" + program + "." + section},
                                {{"MANWIDTH", "80"}, {"MANPAGER", "cat"}, {"PAGER", "cat"}});
    EXPECT_EQ(man.exitCode, 0) << program;
    EXPECT_EQ(man.err, "") << program;
    EXPECT_NE(man.out.find("SYNOPSIS"), std::string::npos) << program;
  }
}

}  // namespace
