// The built brimwell-charge on a fixture power-supply folder, a stand-in polkit and logind on a
// private system bus, called as any caller on the bus would call it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "charge/charge_bus.h"
#include "tests/support/background_process.h"
#include "tests/support/mock_bus.h"
#include "tests/support/power_supply_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace brimwell::charge;
using testing_support::BackgroundProcess;
using testing_support::MockBus;
using testing_support::ProcessResult;
using testing_support::runProcess;
using testing_support::TempDir;

constexpr const char* kEnd = "ps/BAT0/charge_control_end_threshold";
constexpr const char* kStart = "ps/BAT0/charge_control_start_threshold";

bool eventually(const std::function<bool()>& done, int ms = 5000) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

// A laptop on mains whose battery stops at 100 and starts again below 95.
class ChargeRig {
 public:
  explicit ChargeRig(bool logind = false) {
    ok_ = bus_.startTemplate("polkitd", "org.freedesktop.PolicyKit1", true) &&
          (!logind || bus_.startTemplate("logind", "org.freedesktop.login1", true));
    battery("BAT0");
    testing_support::writeSupply(dir_, "ps", "AC", testing_support::mainsAdapter(true));
  }
  bool ok() const { return ok_; }
  const std::string& busAddress() const { return bus_.address(); }
  std::string polkitCalls() const { return bus_.calls(); }
  // The service's processor time so far, in clock ticks.
  long cpuTicks() const {
    std::istringstream stat(
        testing_support::readFile("/proc/" + std::to_string(service_->pid()) + "/stat"));
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
      if (i >= 14) ticks += std::atol(field.c_str());  // utime, stime
    }
    return ticks;
  }
  const TempDir& dir() const { return dir_; }
  void battery(const std::string& name) {
    testing_support::writeSupply(dir_, "ps", name,
                                 {{"type", "Battery"},
                                  {"status", "Charging"},
                                  {"charge_control_end_threshold", "100"},
                                  {"charge_control_start_threshold", "95"}});
  }
  // Starts the service and waits for its name; its log is what stop() gives. Where `unitProc`,
  // under the /proc its unit gives it: only its own processes, nothing of /proc/sys.
  bool start(const std::vector<std::string>& extra = {}, bool unitProc = false) {
    std::string script = "exec \"$0\" \"$@\" 2>&1";
    if (unitProc) script = "mount -t proc -o hidepid=invisible,subset=pid proc /proc && " + script;
    std::vector<std::string> args = {"-c", script, BRIMWELL_CHARGE};
    if (unitProc) args.insert(args.begin(), {"--mount", "/bin/sh"});
    for (const auto& more : {serviceArgs(), extra})
      args.insert(args.end(), more.begin(), more.end());
    service_ = std::make_unique<BackgroundProcess>(
        unitProc ? "/usr/bin/unshare" : "/bin/sh", args,
        std::map<std::string, std::string>{{"DBUS_SYSTEM_BUS_ADDRESS", bus_.address()}});
    return eventually([&] { return call("GetLimits", {}).exitCode == 0; });
  }
  std::string stop() { return service_ ? service_->stop() : ""; }
  void allow(bool allowed) {
    mock("SetAllowed", {"as", allowed ? "1" : "0"}, allowed ? kPolkitAction : nullptr);
  }
  void mock(const char* method, std::vector<std::string> args, const char* last = nullptr) {
    args.insert(args.begin(),
                {"--address=" + bus_.address(), "call", "org.freedesktop.PolicyKit1",
                 "/org/freedesktop/PolicyKit1/Authority", "org.freedesktop.DBus.Mock", method});
    if (last) args.push_back(last);
    runProcess("/usr/bin/busctl", args);
  }
  ProcessResult call(const char* method, std::vector<std::string> args,
                     bool interactive = true) const {
    args.insert(args.begin(),
                {"--address=" + bus_.address(), "--timeout=40",
                 std::string("--allow-interactive-authorization=") + (interactive ? "yes" : "no"),
                 "call", kBusName, kObjectPath, kInterface, method});
    return runProcess("/usr/bin/busctl", args);
  }
  // logind's signal as anyone may send it: to the service alone.
  void forgeWake() {
    runProcess("/usr/bin/gdbus", {"emit", "--address", bus_.address(), "--dest", kBusName,
                                  "--object-path", "/org/freedesktop/login1", "--signal",
                                  "org.freedesktop.login1.Manager.PrepareForSleep", "false"});
  }
  std::vector<std::string> serviceArgs() const {
    return {"--sysfs-root", dir_.path() + "/ps", "--state-dir", dir_.path() + "/state"};
  }
  void wake() {
    runProcess("/usr/bin/busctl",
               {"--address=" + bus_.address(), "call", "org.freedesktop.login1",
                "/org/freedesktop/login1", "org.freedesktop.DBus.Mock", "EmitSignal", "sssav",
                "org.freedesktop.login1.Manager", "PrepareForSleep", "b", "1", "b", "false"});
  }

 private:
  MockBus bus_;
  TempDir dir_;
  std::unique_ptr<BackgroundProcess> service_;
  bool ok_ = false;
};

#define SKIP_WITHOUT_MOCKS(rig)                                      \
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why; \
  ASSERT_TRUE((rig).ok()) << "the stand-in polkit did not start";    \
  ASSERT_TRUE((rig).start()) << "brimwell-charge did not take its name"

// What a caller gets from polkit's answer and from what it asks: only an allowed caller with
// values a driver can hold writes, and every refusal is one line.
TEST(ChargeService, WhatACallerGets) {
  ChargeRig rig;
  SKIP_WITHOUT_MOCKS(rig);
  const struct {
    const char* name;
    bool allowed;
    std::vector<std::string> call;  // SetLimits or ChargeFullOnce with its arguments
    const char* answer;             // busctl's error line; empty: done
    const char* end;
    const char* start;
  } rows[] = {
      {"refused by polkit",
       false,
       {"SetLimits", "suu", "", "80", "0"},
       "Call failed: not allowed to change the charge limit\n",
       "100\n",
       "95\n"},
      {"allowed", true, {"SetLimits", "suu", "", "80", "0"}, "", "80\n", "79\n"},
      {"a start", true, {"SetLimits", "suu", "BAT0", "0", "70"}, "", "80\n", "70\n"},
      {"a name that leaves the folder",
       true,
       {"SetLimits", "suu", "../BAT0", "60", "0"},
       "Call failed: no battery is named so\n",
       "80\n",
       "70\n"},
      {"above 100",
       true,
       {"SetLimits", "suu", "", "101", "0"},
       "Call failed: the charge limit is a whole percent from 1 to 100, not 101\n",
       "80\n",
       "70\n"},
      {"the start not below",
       true,
       {"SetLimits", "suu", "", "0", "85"},
       "Call failed: charging starts again below the limit: 85 is not below 80 (BAT0)\n",
       "80\n",
       "70\n"},
      {"not a battery here",
       true,
       {"ChargeFullOnce", "s", "AC"},
       "Call failed: no system battery is named AC (there are BAT0)\n",
       "80\n",
       "70\n"},
      {"not the method's arguments",
       true,
       {"SetLimits", "ss", "BAT0", "80"},
       "Call failed: Invalid arguments 'ss' to call org.tarnel.Brimwell.Charge1.SetLimits(), "
       "expecting 'suu'.\n",
       "80\n",
       "70\n"},
  };
  for (const auto& r : rows) {
    rig.allow(r.allowed);
    std::vector<std::string> args(r.call.begin() + 1, r.call.end());
    EXPECT_EQ(rig.call(r.call[0].c_str(), args).err, r.answer) << r.name;
    EXPECT_EQ(rig.dir().read(kEnd), r.end) << r.name;
    EXPECT_EQ(rig.dir().read(kStart), r.start) << r.name;
  }
  EXPECT_EQ(rig.call("GetLimits", {}).out, "a(sbubub) 1 \"BAT0\" true 80 true 70 false\n");
  EXPECT_EQ(rig.dir().read("state/charge-limits.json"),
            "{\n  \"BAT0\": {\n    \"end\": 80,\n    \"start\": 70\n  }\n}\n");

  // polkit may ask for a password only where the caller allows it, and each call is asked anew.
  rig.call("SetLimits", {"suu", "", "80", "0"}, false);
  const std::string asked = rig.polkitCalls();
  EXPECT_NE(asked.find("\"org.tarnel.brimwell.set-charge-limits\" {} 1 \"\"\n"), std::string::npos);
  EXPECT_NE(asked.rfind("\"org.tarnel.brimwell.set-charge-limits\" {} 0 \"\"\n"),
            std::string::npos);
  for (int call = 0; call < 40; ++call) {  // more than may wait at once, one after another
    ASSERT_EQ(rig.call("SetLimits", {"suu", "", "80", "0"}).err, "") << call;
  }

  // Two callers at once: both answered, and what is kept is what the driver holds.
  ProcessResult first, second;
  std::thread one([&] { first = rig.call("SetLimits", {"suu", "", "85", "0"}); });
  std::thread two([&] { second = rig.call("SetLimits", {"suu", "", "90", "0"}); });
  one.join();
  two.join();
  EXPECT_EQ(first.err + second.err, "");
  const std::string end = rig.dir().read(kEnd);
  EXPECT_TRUE(end == "85\n" || end == "90\n") << end;
  EXPECT_NE(rig.dir().read("state/charge-limits.json").find("\"end\": " + end.substr(0, 2)),
            std::string::npos);

  // A second service beside it writes nothing and says why.
  rig.dir().write(kEnd, "100\n");
  const auto beside = runProcess(BRIMWELL_CHARGE, rig.serviceArgs(),
                                 {{"DBUS_SYSTEM_BUS_ADDRESS", rig.busAddress()}});
  EXPECT_EQ(beside.exitCode, 1);
  EXPECT_EQ(beside.err,
            "brimwell-charge: another brimwell-charge already serves org.tarnel.Brimwell.Charge\n");
  EXPECT_EQ(rig.dir().read(kEnd), "100\n");
}

// The user's side, end to end: brimwell-prefs as an allowed and a refused user, and a full once
// that external power going ends.
TEST(ChargeService, ThroughBrimwellPrefs) {
  ChargeRig rig;
  SKIP_WITHOUT_MOCKS(rig);
  TempDir device;
  const auto prefs = [&](std::vector<std::string> args) {
    return runProcess(
        BRIMWELL_PREFS, args,
        {{"SIM_DEVICE_ROOT", device.path()}, {"DBUS_SYSTEM_BUS_ADDRESS", rig.busAddress()}});
  };
  const struct {
    const char* name;
    bool allowed;
    std::vector<std::string> args;
    int status;
    const char* out;
    const char* err;
    const char* end;
  } rows[] = {
      {"refused",
       false,
       {"set", "chargeLimit", "80"},
       1,
       "",
       "brimwell-prefs: not allowed to change the charge limit\n",
       "100\n"},
      {"allowed",
       true,
       {"set", "chargeLimit", "80"},
       0,
       "brimwell-prefs: charge limit set to 80 % (BAT0); charging starts again below 79 % (BAT0)\n",
       "",
       "80\n"},
      {"a start not below the limit",
       true,
       {"set", "chargeStart", "90"},
       1,
       "",
       "brimwell-prefs: charging starts again below the limit: 90 is not below 80 (BAT0)\n",
       "80\n"},
      {"full once", true, {"charge-full-once"}, 0, "", "", "100\n"},
  };
  for (const auto& r : rows) {
    rig.allow(r.allowed);
    const auto result = prefs(r.args);
    EXPECT_EQ(result.exitCode, r.status) << r.name;
    if (*r.out) {
      EXPECT_EQ(result.out, r.out) << r.name;
    }
    EXPECT_EQ(result.err, r.err) << r.name;
    EXPECT_EQ(rig.dir().read(kEnd), r.end) << r.name;
  }
  EXPECT_EQ(prefs({"get", "chargeLimit"}).out, "100 (BAT0, full once until external power goes)\n");
  testing_support::writeSupply(rig.dir(), "ps", "AC", testing_support::mainsAdapter(false));
  EXPECT_TRUE(eventually([&] { return rig.dir().read(kEnd) == "80\n"; }));
  EXPECT_EQ(prefs({"get", "chargeLimit"}).out, "80 (BAT0)\n");
}

// A driver that refuses the second of two writes: the first goes back, and the caller reads the
// refusal with the driver's reason.
TEST(ChargeService, ADriversRefusalLeavesTheLimitsAsTheyWere) {
  ChargeRig rig;
  // It reads, but a write is refused, as firmware that takes only some values refuses them.
  const std::string start = rig.dir().path() + "/" + kStart;
  rig.dir().write(kEnd, "80\n");
  rig.dir().write("ps/BAT0/charge_control_start_threshold.held", "75\n");
  ::unlink(start.c_str());
  ASSERT_EQ(::symlink("charge_control_start_threshold.held", start.c_str()), 0);
  SKIP_WITHOUT_MOCKS(rig);
  rig.allow(true);
  // Both up: the end is written first, then the start is refused.
  EXPECT_EQ(rig.call("SetLimits", {"suu", "BAT0", "95", "90"}).err,
            "Call failed: BAT0 cannot take 90 as its charge start "
            "(charge_control_start_threshold): Too many levels of symbolic links\n");
  EXPECT_EQ(rig.dir().read(kEnd), "80\n");
  EXPECT_EQ(rig.dir().read("state/charge-limits.json"), "");
}

// The limit comes back wherever the firmware or a full once let it go: at a wake, at the
// battery's return, when external power goes after a full once, and at a start in another boot.
TEST(ChargeService, PutsTheLimitBack) {
  ChargeRig rig(true);
  SKIP_WITHOUT_MOCKS(rig);
  rig.allow(true);
  ASSERT_EQ(rig.call("SetLimits", {"suu", "", "80", "75"}).err, "");
  const auto endIs = [&](const char* value) {
    return eventually([&] { return rig.dir().read(kEnd) == value; });
  };
  // A limit changed by hand holds until the next wake: the service does not fight it, nor take a
  // wake from anyone but logind.
  rig.dir().write(kEnd, "100\n");
  rig.forgeWake();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(rig.dir().read(kEnd), "100\n");
  rig.wake();
  EXPECT_TRUE(endIs("80\n")) << "at a wake";

  testing_support::runProcess("/bin/rm", {"-r", rig.dir().path() + "/ps/BAT0"});
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  rig.battery("BAT0");
  EXPECT_TRUE(endIs("80\n")) << "at the battery's return";
  EXPECT_EQ(rig.dir().read(kStart), "75\n");

  ASSERT_EQ(rig.call("ChargeFullOnce", {"s", ""}).err, "");
  EXPECT_EQ(rig.dir().read(kEnd), "100\n");
  EXPECT_EQ(rig.call("GetLimits", {}).out, "a(sbubub) 1 \"BAT0\" true 100 true 99 true\n");
  rig.wake();  // still on mains: the full once holds
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(rig.dir().read(kEnd), "100\n");
  testing_support::writeSupply(rig.dir(), "ps", "AC", testing_support::mainsAdapter(false));
  EXPECT_TRUE(endIs("80\n")) << "when external power goes";
  EXPECT_EQ(rig.dir().read(kStart), "75\n");
  rig.dir().write(kEnd, "90\n");  // on battery, by hand: held too
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(rig.dir().read(kEnd), "90\n");
  // A full once asked on battery waits for the charger to come and go.
  ASSERT_EQ(rig.call("ChargeFullOnce", {"s", ""}).err, "");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(rig.dir().read(kEnd), "100\n");
  testing_support::writeSupply(rig.dir(), "ps", "AC", testing_support::mainsAdapter(true));
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(rig.dir().read(kEnd), "100\n");
  testing_support::writeSupply(rig.dir(), "ps", "AC", testing_support::mainsAdapter(false));
  EXPECT_TRUE(endIs("80\n")) << "plugged in and out after a full once asked on battery";
  // Looking at the folder every two seconds for all this costs it next to nothing.
  EXPECT_LT(rig.cpuTicks(), 100);

  rig.stop();
  rig.dir().write("state/charge-limits.json",
                  R"({"BAT0": {"end": 80, "start": 75, "fullOnceBoot": "an-earlier-boot"}})");
  rig.dir().write(kEnd, "100\n");
  ASSERT_TRUE(rig.start());
  EXPECT_EQ(rig.dir().read(kEnd), "80\n") << "at a start in another boot";
  EXPECT_EQ(rig.call("GetLimits", {}).out, "a(sbubub) 1 \"BAT0\" true 80 true 75 false\n");
}

// A polkit that never answers holds nothing: every call is refused at the bound, and a user
// flooding the service meanwhile is refused at once past 8 waiting calls.
TEST(ChargeService, APolkitThatNeverAnswersIsARefusal) {
  ChargeRig rig;
  SKIP_WITHOUT_MOCKS(rig);
  rig.allow(true);
  rig.mock("SimulateHang", {"b", "true"});
  std::vector<ProcessResult> results(33);
  std::vector<std::thread> callers;
  for (auto& result : results) {
    callers.emplace_back([&] { result = rig.call("SetLimits", {"suu", "", "80", "0"}); });
  }
  for (auto& caller : callers) caller.join();
  std::map<std::string, int> answers;
  for (const auto& result : results) ++answers[result.err];
  EXPECT_EQ(answers, (std::map<std::string, int>{
                         {"Call failed: not allowed to change the charge limit (polkit gave no "
                          "answer within 25 s)\n",
                          8},
                         {"Call failed: too many calls are waiting for polkit; try again in a "
                          "moment\n",
                          25}}));
  EXPECT_EQ(rig.dir().read(kEnd), "100\n");
}

// The arguments the unit starts the service with, as systemd fills them in: %b is the boot id in
// 32 digits.
std::vector<std::string> unitArguments() {
  std::istringstream unit(testing_support::readFile(BRIMWELL_CHARGE_UNIT));
  std::string bootId = testing_support::readFile("/proc/sys/kernel/random/boot_id");
  bootId.erase(std::remove(bootId.begin(), bootId.end(), '-'), bootId.end());
  bootId.erase(bootId.find('\n'));
  std::vector<std::string> args;
  for (std::string line; std::getline(unit, line);) {
    if (line.rfind("ExecStart=@LIBEXEC@/brimwell-charge", 0) != 0) continue;
    std::istringstream words(line);
    std::string word;
    words >> word;
    while (words >> word) args.push_back(word == "%b" ? bootId : word);
  }
  return args;
}

// Under its unit's own /proc, which hides the kernel's boot id: a full once lifts one battery's
// limit, is pending, and ends when external power goes, touching no other battery. Without the
// id the unit gives, a full once is refused: it could not end with the boot.
TEST(ChargeService, AFullOnceAsTheUnitRunsIt) {
  ChargeRig rig;
  rig.battery("BAT1");
  if (::geteuid() != 0) GTEST_SKIP() << "the unit's own /proc needs root to mount";
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  ASSERT_TRUE(rig.ok()) << "the stand-in polkit did not start";
  ASSERT_TRUE(rig.start(unitArguments(), true)) << "brimwell-charge did not take its name";
  rig.allow(true);
  ASSERT_EQ(rig.call("SetLimits", {"suu", "", "80", "75"}).err, "");
  ASSERT_EQ(rig.call("ChargeFullOnce", {"s", "BAT0"}).err, "");
  EXPECT_EQ(rig.call("GetLimits", {}).out,
            "a(sbubub) 2 \"BAT0\" true 100 true 99 true \"BAT1\" true 80 true 75 false\n");
  std::string bootId = testing_support::readFile("/proc/sys/kernel/random/boot_id");
  bootId.erase(bootId.find('\n'));
  EXPECT_NE(rig.dir().read("state/charge-limits.json").find("\"fullOnceBoot\": \"" + bootId),
            std::string::npos);
  rig.dir().write("ps/BAT1/charge_control_end_threshold", "90\n");  // by hand
  testing_support::writeSupply(rig.dir(), "ps", "AC", testing_support::mainsAdapter(false));
  EXPECT_TRUE(eventually([&] { return rig.dir().read(kEnd) == "80\n"; }));
  EXPECT_EQ(rig.dir().read(kStart), "75\n");
  EXPECT_EQ(rig.dir().read("ps/BAT1/charge_control_end_threshold"), "90\n");

  rig.stop();
  ASSERT_TRUE(rig.start({}, true));
  EXPECT_EQ(rig.call("ChargeFullOnce", {"s", "BAT0"}).err,
            "Call failed: cannot lift the limit once: the service cannot read this boot's id, so "
            "it could not put the limit back at the next boot\n");
  EXPECT_EQ(rig.dir().read(kEnd), "80\n");
  EXPECT_NE(rig.stop().find("cannot read this boot's id: a full once is refused"),
            std::string::npos);
}

// A state folder that takes nothing: what was set holds for the rest of the boot, a full once
// that ended is said as ended, and the failure is said once.
TEST(ChargeService, AStateFolderThatTakesNothing) {
  ChargeRig rig(true);
  SKIP_WITHOUT_MOCKS(rig);
  rig.allow(true);
  ASSERT_EQ(rig.call("SetLimits", {"suu", "", "80", "0"}).err, "");
  ASSERT_EQ(::mkdir((rig.dir().path() + "/state/charge-limits.json.new").c_str(), 0755), 0);
  const std::string failed =
      "Call failed: the limit is set but cannot be kept for the next boot: "
      "cannot write " +
      rig.dir().path() + "/state/charge-limits.json.new: Is a directory\n";
  EXPECT_EQ(rig.call("SetLimits", {"suu", "", "60", "0"}).err, failed);
  rig.wake();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(rig.dir().read(kEnd), "60\n") << "what was set holds after a wake";
  EXPECT_EQ(rig.call("ChargeFullOnce", {"s", ""}).err, failed);
  testing_support::writeSupply(rig.dir(), "ps", "AC", testing_support::mainsAdapter(false));
  EXPECT_TRUE(eventually([&] { return rig.dir().read(kEnd) == "60\n"; }));
  EXPECT_EQ(rig.call("GetLimits", {}).out, "a(sbubub) 1 \"BAT0\" true 60 true 59 false\n");
  const std::string log = rig.stop();
  size_t said = 0;
  for (size_t at = 0; (at = log.find("cannot write", at)) != std::string::npos; ++at) ++said;
  EXPECT_EQ(said, 1u) << log;
}

// Its own command line, in one line each.
TEST(ChargeService, CommandLine) {
  TempDir dir;
  const struct {
    std::vector<std::string> args;
    int status;
    const char* err;
  } rows[] = {
      {{"--sysfs-root"}, 2, "brimwell-charge: --sysfs-root takes a folder\n"},
      {{"--sysfs-root", ""}, 2, "brimwell-charge: --sysfs-root takes a folder\n"},
      {{"--version"}, 0, ""},
      {{"--state"}, 2, "brimwell-charge: unknown option --state (see --help)\n"},
      {{"--boot-id"}, 2, "brimwell-charge: --boot-id takes a boot id of 32 hexadecimal digits\n"},
      {{"--boot-id", "%b"},
       2,
       "brimwell-charge: --boot-id takes a boot id of 32 hexadecimal "
       "digits\n"},
      {{"--sysfs-root", dir.path() + "/none"},
       1,
       "brimwell-charge: cannot read the power-supply folder "},
      {{"--sysfs-root", dir.path(), "--state-dir", dir.path() + "/state"},
       1,
       "brimwell-charge: cannot reach the system bus: "},
  };
  for (const auto& r : rows) {
    const auto result = runProcess(BRIMWELL_CHARGE, r.args);
    EXPECT_EQ(result.exitCode, r.status) << r.args[0];
    EXPECT_EQ(result.err.rfind(r.err, 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), *r.err ? 1 : 0) << result.err;
    if (r.args[0] == "--version") {
      EXPECT_EQ(result.out, "brimwell-charge " BRIMWELL_VERSION "\n");
    }
  }
  // A kept file that is no file does not hold the service up.
  ASSERT_EQ(::mkfifo((dir.path() + "/fifo/charge-limits.json").c_str(), 0600) == 0 ||
                (::mkdir((dir.path() + "/fifo").c_str(), 0755) == 0 &&
                 ::mkfifo((dir.path() + "/fifo/charge-limits.json").c_str(), 0600) == 0),
            true);
  const auto fifo = runProcess(
      "/usr/bin/timeout",
      {"5", BRIMWELL_CHARGE, "--sysfs-root", dir.path(), "--state-dir", dir.path() + "/fifo"});
  EXPECT_EQ(fifo.exitCode, 1) << fifo.err;
  EXPECT_NE(fifo.err.find("charge-limits.json is damaged"), std::string::npos) << fifo.err;
  // Nor does one that is a link: the service follows none there.
  dir.write("elsewhere.json", "{}");
  ASSERT_EQ(::mkdir((dir.path() + "/linked").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("../elsewhere.json", (dir.path() + "/linked/charge-limits.json").c_str()), 0);
  const auto linked = runProcess(
      BRIMWELL_CHARGE, {"--sysfs-root", dir.path(), "--state-dir", dir.path() + "/linked"});
  EXPECT_NE(linked.err.find("charge-limits.json is damaged"), std::string::npos) << linked.err;
  // A kept file of 64 KiB is read; one byte more is no file of the service's.
  for (const size_t size : {size_t{64 * 1024}, size_t{64 * 1024 + 1}}) {
    dir.write("big/charge-limits.json", std::string(size - 2, ' ') + "{}");
    const auto big = runProcess(BRIMWELL_CHARGE,
                                {"--sysfs-root", dir.path(), "--state-dir", dir.path() + "/big"});
    EXPECT_EQ(big.err.find("is damaged") != std::string::npos, size > 64 * 1024) << big.err;
  }
  // A kept file damaged by anything else is said once and put back nowhere.
  dir.write("state/charge-limits.json", "{\"BAT0\": {\"end\": 0}}");
  const auto damaged = runProcess(
      BRIMWELL_CHARGE, {"--sysfs-root", dir.path(), "--state-dir", dir.path() + "/state"});
  EXPECT_EQ(damaged.err.rfind("brimwell-charge: " + dir.path() +
                                  "/state/charge-limits.json is damaged: no limit is put back "
                                  "until one is set again\nbrimwell-charge: cannot reach",
                              0),
            0u)
      << damaged.err;
}

}  // namespace
