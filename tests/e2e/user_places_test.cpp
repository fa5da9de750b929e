// The built programs in the user's own places, as installed (no simulated device): folders used
// only when private to the user, the runtime folder systemd makes, the simulator's own device,
// one host per status file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/support/background_process.h"
#include "tests/support/device_root.h"
#include "tests/support/other_user.h"
#include "tests/support/power_supply_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::OtherUser;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runProcess;
namespace fs = std::filesystem;
using Environment = std::map<std::string, std::optional<std::string>>;

const std::string kPlanted = testing_support::plistXml(
    "<key>Manufacturer</key><string>Planted</string>"
    "<key>AppleRawCurrentCapacity</key><integer>13</integer>");
const std::string kLaptopDesignCapacity = "designCap \"4400 mAh\"\n";

// A user's home, runtime and config folders, a laptop held full on its charger, and the
// environment an installed program sees there.
class UserPlaces : public testing_support::TempDir {
 public:
  explicit UserPlaces(const OtherUser* user = nullptr) {
    ::chmod(path().c_str(), 0755);  // another user reaches the folders inside
    for (const char* folder : {"home", "run", "config"}) {
      if (user) {
        user->makeFolder(path() + "/" + folder);
      } else {
        fs::create_directory(path() + "/" + folder);
      }
    }
    testing_support::writeSupply(*this, "sys", "BAT0",
                                 {{"type", "Battery"},
                                  {"status", "Full"},
                                  {"charge_now", "4080000"},
                                  {"charge_full", "4080000"},
                                  {"charge_full_design", "4400000"}});
    testing_support::writeSupply(*this, "sys", "AC", testing_support::mainsAdapter(true));
  }
  Environment environment() const {
    return {{"SIM_DEVICE_ROOT", std::nullopt},
            {"HOME", path() + "/home"},
            {"XDG_RUNTIME_DIR", path() + "/run"},
            {"XDG_CONFIG_HOME", path() + "/config"},
            {"XDG_CACHE_HOME", std::nullopt},
            {"LANGUAGE", std::nullopt},
            {"LC_ALL", "C"},
            {"SIM_MODEL_IDENTIFIER", "iPhone7,2"}};
  }
  // The machine's own battery, for a second of virtual time.
  std::vector<std::string> laptopHost() const {
    return {"--source", "sysfs=" + path() + "/sys", "--virtual-time", "--duration", "1"};
  }
};

ProcessResult runAs(const OtherUser* user, const std::string& program,
                    const std::vector<std::string>& args, const Environment& environment) {
  if (!user) return runProcess(program, args, environment);
  const std::vector<std::string> line = user->command(program, args);
  return runProcess(line[0], {line.begin() + 1, line.end()}, environment);
}

std::vector<std::string> listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

size_t lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(UserFolders, UsedOnlyWhenARealFolderOfTheUsersThatNobodyElseMayWrite) {
  if (const auto why = OtherUser::unavailable()) GTEST_SKIP() << *why;
  const OtherUser user;
  const struct {
    const char* name;
    const char* base;  // run or config
    bool usersOwn;     // else root's
    unsigned mode;
    bool link;        // the folder is a link to one that is the user's
    const char* why;  // the refusal; none: the folder is used
  } cases[] = {
      {"another user's, open to all", "run", false, 0777, false, "is owned by uid 0, not by you"},
      {"another user's", "run", false, 0755, false, "is owned by uid 0, not by you"},
      {"the user's, writable by others", "run", true, 0777, false,
       "is writable by others (mode 0777)"},
      {"a link to the user's own", "run", true, 0700, true, "is a symbolic link"},
      {"another user's settings folder", "config", false, 0777, false, "is owned by uid 0"},
      {"the user's own", "run", true, 0700, false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const UserPlaces places(&user);
    const std::string folder = places.path() + "/" + c.base + "/brimwell";
    const std::string real = c.link ? places.path() + "/elsewhere" : folder;
    fs::create_directories(real);
    ASSERT_EQ(::chown(real.c_str(), c.usersOwn ? user.uid() : 0, 0), 0);
    ASSERT_EQ(::chmod(real.c_str(), c.mode), 0);
    if (c.link) {
      fs::create_directory_symlink(real, folder);
      ASSERT_EQ(::lchown(folder.c_str(), user.uid(), user.uid()), 0);
    }
    const std::string planted =
        std::string(c.base) == "run" ? "batteryStatus.plist" : "org.tarnel.Brimwell.plist";
    std::ofstream(real + "/" + planted) << kPlanted;

    const auto host = runAs(&user, SPRINGBOARD_SIM, places.laptopHost(), places.environment());
    const auto viewer = runAs(&user, BRIMWELL_VIEWER, {"--once"}, places.environment());
    EXPECT_EQ(viewer.out.find("Planted"), std::string::npos) << viewer.out;
    if (!c.why) {
      EXPECT_EQ(host.exitCode, 0) << host.err;
      EXPECT_NE(viewer.out.find(kLaptopDesignCapacity), std::string::npos) << viewer.out;
      continue;
    }
    EXPECT_EQ(host.exitCode, 1);
    EXPECT_EQ(lines(host.err), 1u) << host.err;
    EXPECT_NE(host.err.find(folder + " " + c.why), std::string::npos) << host.err;
    EXPECT_EQ(listing(real), std::vector<std::string>{planted}) << "nothing written there";
    EXPECT_EQ(readFile(real + "/" + planted), kPlanted);
    if (std::string(c.base) == "config") {
      const auto prefs =
          runAs(&user, BRIMWELL_PREFS, {"set", "isSound", "on"}, places.environment());
      EXPECT_EQ(prefs.exitCode, 1);
      EXPECT_EQ(prefs.err, "brimwell-prefs: " + folder + " is owned by uid 0, not by you (uid " +
                               std::to_string(user.uid()) + ")\n");
    }
  }
}

TEST(UserFolders, TheViewersFooterSaysWhyAFolderIsNotUsed) {
  if (const auto why = OtherUser::unavailable()) GTEST_SKIP() << *why;
  const OtherUser user;
  const UserPlaces places(&user);
  const std::string folder = places.path() + "/run/brimwell";
  fs::create_directory(folder);
  ::chmod(folder.c_str(), 0777);
  std::ofstream(folder + "/batteryStatus.plist") << kPlanted;
  Environment environment = places.environment();
  environment["TERM"] = "xterm-256color";
  const auto screen = testing_support::runOnTerminal(
      testing_support::kSetpriv, user.command(BRIMWELL_VIEWER, {}), environment, 160, 40, 1.5);
  EXPECT_NE(screen.out.find(folder + " is owned by uid 0, not by you"), std::string::npos)
      << screen.out;
  EXPECT_EQ(screen.out.find("Planted"), std::string::npos);
}

// Where systemd made the user's runtime folder, as /run/user/<uid>; removed at the end.
class SystemdRuntimeFolder {
 public:
  explicit SystemdRuntimeFolder(const OtherUser& user)
      : path_("/run/user/" + std::to_string(user.uid())) {
    user.makeFolder(path_);
  }
  ~SystemdRuntimeFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The service has XDG_RUNTIME_DIR; a login by ssh or su may not.
TEST(UserFolders, WithoutXdgRuntimeDirTheViewerLooksWhereSystemdPutTheService) {
  if (const auto why = OtherUser::unavailable()) GTEST_SKIP() << *why;
  if (!fs::is_directory("/run/user")) GTEST_SKIP() << "no /run/user on this machine";
  const OtherUser user;
  const UserPlaces places(&user);
  const SystemdRuntimeFolder runtime(user);
  Environment service = places.environment(), login = places.environment();
  service["XDG_RUNTIME_DIR"] = runtime.path();
  login["XDG_RUNTIME_DIR"] = std::nullopt;
  login["TERM"] = "xterm-256color";

  const auto before = testing_support::runOnTerminal(
      testing_support::kSetpriv, user.command(BRIMWELL_VIEWER, {}), login, 160, 40, 1.5);
  EXPECT_NE(before.out.find(runtime.path() + "/brimwell/batteryStatus.plist"), std::string::npos)
      << before.out;
  EXPECT_NE(before.out.find("systemctl --user start brimwell"), std::string::npos) << before.out;

  ASSERT_EQ(runAs(&user, SPRINGBOARD_SIM, places.laptopHost(), service).exitCode, 0);
  const auto viewer = runAs(&user, BRIMWELL_VIEWER, {"--once"}, login);
  EXPECT_NE(viewer.out.find(kLaptopDesignCapacity), std::string::npos) << viewer.out;
}

// The folder a run names on stderr: "springboard-sim: on a simulated device of its own, ROOT".
std::string deviceNamed(const std::string& err) {
  std::smatch match;
  const std::regex line(
      "^springboard-sim: on a simulated device of its own, ([^ ,]+).*"
      " \\(to watch it: SIM_DEVICE_ROOT=([^ ]+) BrimwellViewer\\)\n$");
  if (!std::regex_match(err, match, line) || match[1] != match[2]) return "";
  return match[1];
}

TEST(SimulatorsOwnDevice, ThePhoneRecordingsAndScenariosNeverTouchTheUsersFiles) {
  const UserPlaces places;
  const auto environment = places.environment();
  ASSERT_EQ(runProcess(SPRINGBOARD_SIM, places.laptopHost(), environment).exitCode, 0);
  ASSERT_EQ(runProcess(BRIMWELL_PREFS, {"set", "alertLevel", "50"}, environment).exitCode, 0);
  const std::string status = places.path() + "/run/brimwell/batteryStatus.plist";
  const std::string settings = places.path() + "/config/brimwell/org.tarnel.Brimwell.plist";
  const std::string statusBefore = readFile(status), settingsBefore = readFile(settings);
  const std::string kept = places.path() + "/home/.cache/brimwell/simulated-device";

  const std::string recording =
      places.write("session.plist",
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict>"
                   "<key>AppleRawCurrentCapacity</key><integer>400</integer>"
                   "<key>AppleRawMaxCapacity</key><integer>1000</integer>"
                   "<key>DesignCapacity</key><integer>1234</integer></dict></array></plist>");
  // The sound and the plug-in are the installed ones.
  const std::string scenario =
      "settings chargeMode=2 isPopAlert=true isSound=true\n"
      "status AppleRawCurrentCapacity=1000 AppleRawMaxCapacity=1000 ExternalConnected=true "
      "FullyCharged=true\n";
  const testing_support::DeviceRoot reference;
  const struct {
    const char* name;
    std::vector<std::string> args;
    bool fresh;               // a device for this run alone, else the kept one
    std::string transcript;   // what stdout is, for a scenario
    std::string designShown;  // what the viewer shows on that device afterwards
  } cases[] = {
      {"the simulated phone",
       {"--virtual-time", "--duration", "60", "--headless"},
       false,
       "",
       "designCap \"1810 mAh\"\n"},
      {"a recording",
       {"--source", "replay=" + recording, "--virtual-time"},
       false,
       "",
       "designCap \"1234 mAh\"\n"},
      {"a scenario", {"--script", "-"}, true, reference.runScenario(scenario).out, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = runProcess(SPRINGBOARD_SIM, c.args, environment, scenario);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string device = deviceNamed(run.err);
    EXPECT_EQ(readFile(status), statusBefore);
    EXPECT_EQ(readFile(settings), settingsBefore);
    if (c.fresh) {
      EXPECT_EQ(run.out, c.transcript);
      EXPECT_NE(device, "") << run.err;
      EXPECT_FALSE(fs::exists(device)) << "removed at the end";
      continue;
    }
    EXPECT_EQ(device, kept) << run.err;
    auto watching = environment;
    watching["SIM_DEVICE_ROOT"] = device;
    const auto viewer = runProcess(BRIMWELL_VIEWER, {"--once"}, watching);
    EXPECT_NE(viewer.out.find(c.designShown), std::string::npos) << viewer.out;
  }
  EXPECT_NE(runProcess(BRIMWELL_VIEWER, {"--once"}, environment).out.find(kLaptopDesignCapacity),
            std::string::npos);
}

TEST(OneHost, ASecondHostOnTheSameStatusFileSaysWhichProcessHoldsItAndExits) {
  const UserPlaces places;
  const auto environment = places.environment();
  std::map<std::string, std::string> firstEnvironment;
  for (const auto& [name, value] : environment) {
    if (value) firstEnvironment[name] = *value;
  }
  // Its standard error too, where it says that it ends.
  testing_support::BackgroundProcess first(
      "/bin/sh",
      {"-c", "exec \"$0\" \"$@\" 2>&1", SPRINGBOARD_SIM, "--source",
       "sysfs=" + places.path() + "/sys", "--headless"},
      firstEnvironment);
  const std::string status = places.path() + "/run/brimwell/batteryStatus.plist";
  for (int i = 0; i < 100 && !fs::exists(status); ++i) ::usleep(100 * 1000);
  ASSERT_TRUE(fs::exists(status)) << "the first host wrote a status";
  const auto privateLock = [&] {
    return (fs::status(status + ".lock").permissions() & fs::perms::all) ==
           (fs::perms::owner_read | fs::perms::owner_write);
  };
  EXPECT_TRUE(privateLock()) << "nobody else names the holder";

  const std::string refused = "springboard-sim: another host (pid " + std::to_string(first.pid()) +
                              ") already writes " + status +
                              ": stop it first (the service: systemctl --user stop brimwell)\n";
  const auto second = runProcess(SPRINGBOARD_SIM, places.laptopHost(), environment);
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err, refused);
  EXPECT_EQ(second.out, "") << "no alert given twice";
  // The runtime folder emptied by hand: the first host puts its file back and holds a new lock.
  fs::rename(places.path() + "/run/brimwell", places.path() + "/run/gone");
  fs::remove_all(places.path() + "/run/gone");
  for (int i = 0; i < 30 && !fs::exists(status); ++i) ::usleep(100 * 1000);
  ASSERT_TRUE(fs::exists(status)) << "put back";
  EXPECT_EQ(runProcess(SPRINGBOARD_SIM, places.laptopHost(), environment).exitCode, 1)
      << "still the one host";
  fs::remove(status + ".lock");  // the lock file alone
  for (int i = 0; i < 30 && !fs::exists(status + ".lock"); ++i) ::usleep(100 * 1000);
  EXPECT_EQ(runProcess(SPRINGBOARD_SIM, places.laptopHost(), environment).err, refused)
      << "locked again at once, and named";
  EXPECT_TRUE(privateLock()) << "made again";
  // A simulated phone runs beside it, on a device of its own.
  EXPECT_EQ(
      runProcess(SPRINGBOARD_SIM, {"--virtual-time", "--duration", "60"}, environment).exitCode, 0);

  // Another host's lock put in place of its own: it says so once, puts nothing back and ends.
  const std::string other = places.path() + "/run/brimwell/other.lock";
  const int taken = ::open(other.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(taken, LOCK_EX | LOCK_NB), 0);
  ASSERT_EQ(::write(taken, "4242\n", 5), 5);
  fs::rename(other, status + ".lock");
  fs::remove(status);
  std::string said;
  while (const auto line = first.readLine(5000)) said += *line + "\n";
  const std::string ends = "springboard-sim: another host (pid 4242) took " + status +
                           ".lock after it was removed: this host ends\n";
  EXPECT_NE(said.find(ends), std::string::npos) << said;
  EXPECT_EQ(said.find(ends), said.rfind(ends)) << said;
  EXPECT_EQ(first.wait(), 1);
  EXPECT_FALSE(fs::exists(status)) << "a host that lost the lock writes nothing";
  ::close(taken);
  EXPECT_EQ(runProcess(SPRINGBOARD_SIM, places.laptopHost(), environment).exitCode, 0);
}

// The host that holds the lock is named as its lock file names it; a file that names no process
// (nothing written yet, or not a number) names none. A lock that cannot be opened says why.
TEST(OneHost, TheHolderAsItsLockFileNamesIt) {
  const struct {
    const char* written;  // by the holder; null: a symbolic link at the lock's name, no holder
    std::string said;     // after "springboard-sim: ", with STATUS for the status file
  } cases[] = {
      {"4242\n", "another host (pid 4242) already writes STATUS: stop it first"},
      {"7", "another host (pid 7) already writes STATUS: stop it first"},
      {"1", "another host (pid 1) already writes STATUS: stop it first"},
      {"", "another host already writes STATUS: stop it first"},
      {"x", "another host already writes STATUS: stop it first"},
      {nullptr, "cannot open STATUS.lock: Too many levels of symbolic links"},
  };
  for (const auto& c : cases) {
    testing_support::DeviceRoot root;
    fs::create_directories(root.path() + "/sys");
    const std::string status = root.path() + "/tmp/batteryStatus.plist";
    int held = -1;
    if (c.written) {
      root.write("/tmp/batteryStatus.plist.lock", c.written);
      held = ::open((status + ".lock").c_str(), O_RDWR);
      ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    } else {
      fs::create_directories(root.path() + "/tmp");
      fs::create_symlink(root.path() + "/elsewhere", status + ".lock");
    }
    const auto second = runProcess(
        SPRINGBOARD_SIM,
        {"--source", "sysfs=" + root.path() + "/sys", "--virtual-time", "--duration", "1"},
        {{"SIM_DEVICE_ROOT", root.path()}});
    if (held >= 0) ::close(held);
    std::string said = c.said;
    said.replace(said.find("STATUS"), 6, status);
    EXPECT_EQ(second.exitCode, 1) << said;
    EXPECT_EQ(second.err, "springboard-sim: " + said + "\n");
  }
}

}  // namespace
