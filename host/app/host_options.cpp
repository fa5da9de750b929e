#include "host/app/host_options.h"

#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace host {

const char* const kHostUsage =
    "usage: springboard-sim [--source sim|replay=FILE|sysfs[=DIR]] [options]\n"
    "       springboard-sim --script FILE\n"
    "The stand-in home-screen host: loads the plug-ins in the device's\n"
    "/Library/MobileSubstrate/DynamicLibraries and delivers battery status changes to them.\n"
    "On a terminal it shows the lock screen and the alerts; otherwise it prints what happens.\n"
    "  --source sim          a simulated phone battery (the default)\n"
    "  --source replay=FILE  a recorded session: a plist array of {delay; status} dictionaries\n"
    "  --source sysfs[=DIR]  this machine's own batteries (DIR: /sys/class/power_supply)\n"
    "  --poll SECONDS        read the sysfs folder at this fixed interval (without it: when\n"
    "                        the next percent is due, 30 s to 10 min); a kernel event is\n"
    "                        read at once\n"
    "  --charge-state DIR    the charge service's folder, whose kept limits say a \"full\n"
    "                        once\" (/var/lib/brimwell)\n"
    "  --speed N             simulated time N times faster (sim: 60, replay: 1)\n"
    "  --start PERCENT       the simulated battery's charge at start (45)\n"
    "  --charger on|off      whether it starts on the charger (on)\n"
    "  --seed N              the simulated phone's varying draw (1)\n"
    "  --duration SECONDS    stop after this much simulated time\n"
    "  --virtual-time        run without waiting (needs --duration for the simulated battery)\n"
    "  --headless            print what happens even on a terminal\n"
    "  --log-status          print a line for every status change\n"
    "  --desktop-alerts      also headless, post dialogs as desktop notifications and play the\n"
    "                        sound on the desktop (on the screen this is automatic)\n"
    "  --history             keep the battery's history (the machine's own battery always\n"
    "                        does), in the host's clock\n"
    "  --record FILE         write every status change delivered, for --source replay=FILE\n"
    "  --script FILE         run a scenario (FILE may be -) and print its transcript\n"
    "  --version             print the version and exit\n"
    "  --help                show this help\n"
    "The device is SIM_DEVICE_ROOT. Without it the sysfs source keeps the status file in\n"
    "$XDG_RUNTIME_DIR/brimwell and reads the settings in $XDG_CONFIG_HOME/brimwell, folders\n"
    "it uses only when they are the user's alone; the simulated phone and recordings run on\n"
    "a simulated device of their own in $XDG_CACHE_HOME/brimwell/simulated-device, a\n"
    "scenario on a fresh one removed at the end. One host runs per status file.\n"
    "Keys on the screen: c charger, l lock/unlock, + and - speed, Enter closes a dialog, q "
    "quits.\n";

bool parseNumber(const std::string& text, double low, double high, double& out) {
  errno = 0;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && errno == 0 && std::isfinite(out) &&
         out >= low && out <= high;
}

namespace {

enum OptionId {
  kHelp = 'h',
  kVersion = 'V',
  kScript = 256,
  kSource,
  kSpeed,
  kStart,
  kCharger,
  kSeed,
  kDuration,
  kPoll,
  kChargeState,
  kRecord,
  kVirtualTime,
  kHeadless,
  kLogStatus,
  kDesktopAlerts,
  kHistory,
};

const option kLongOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"script", required_argument, nullptr, kScript},
    {"source", required_argument, nullptr, kSource},
    {"speed", required_argument, nullptr, kSpeed},
    {"start", required_argument, nullptr, kStart},
    {"charger", required_argument, nullptr, kCharger},
    {"seed", required_argument, nullptr, kSeed},
    {"duration", required_argument, nullptr, kDuration},
    {"poll", required_argument, nullptr, kPoll},
    {"charge-state", required_argument, nullptr, kChargeState},
    {"record", required_argument, nullptr, kRecord},
    {"virtual-time", no_argument, nullptr, kVirtualTime},
    {"headless", no_argument, nullptr, kHeadless},
    {"log-status", no_argument, nullptr, kLogStatus},
    {"desktop-alerts", no_argument, nullptr, kDesktopAlerts},
    {"history", no_argument, nullptr, kHistory},
    {nullptr, 0, nullptr, 0},
};

bool parseSource(const std::string& v, HostOptions& o, std::string& why) {
  o.replay.clear();
  o.sysfs.clear();
  if (v == "sim") return true;
  if (v == "sysfs") {
    o.sysfs = "/sys/class/power_supply";
  } else if (v.rfind("sysfs=", 0) == 0 && v.size() > 6) {
    o.sysfs = v.substr(6);
  } else if (v.rfind("replay=", 0) == 0 && v.size() > 7) {
    o.replay = v.substr(7);
  } else {
    why = "--source takes sim, replay=FILE or sysfs[=DIR], not '" + v + "'";
    return false;
  }
  return true;
}

}  // namespace

bool chargeStateOption(const std::string& v, HostOptions& o, std::string& why) {
  if (v.empty()) {
    why = "--charge-state takes a folder";
    return false;
  }
  o.chargeState = v;
  return true;
}

bool numberOption(const std::string& v, double low, double high, const char* takes, double& out,
                  std::string& why) {
  if (parseNumber(v, low, high, out)) return true;
  why = std::string(takes) + ", not '" + v + "'";
  return false;
}

namespace {

// One option and its value; false with why set when the value is wrong.
bool applyOption(int id, const std::string& v, HostOptions& o, std::string& why) {
  double number = 0;
  switch (id) {
    case kHelp:
      o.help = true;
      return true;
    case kVersion:
      o.version = true;
      return true;
    case kScript:
      o.script = v;
      return true;
    case kSource:
      return parseSource(v, o, why);
    case kSpeed:
      if (!numberOption(v, 0.001, 1e6, "--speed takes a number from 0.001 to 1000000", number,
                        why)) {
        return false;
      }
      o.speed = number;
      return true;
    case kStart:
      return numberOption(v, 0, 100, "--start takes a percentage from 0 to 100", o.startPercent,
                          why);
    case kCharger:
      if (v != "on" && v != "off") {
        why = "--charger takes on or off, not '" + v + "'";
        return false;
      }
      o.charger = v == "on";
      return true;
    case kSeed:
      if (!parseNumber(v, 0, 4294967295.0, number) || number != std::floor(number)) {
        why = "--seed takes a whole number, not '" + v + "'";
        return false;
      }
      o.seed = static_cast<uint32_t>(number);
      return true;
    case kDuration:
      return numberOption(v, 0, 1e9, "--duration takes seconds from 0 to 1000000000", o.duration,
                          why);
    case kPoll:
      if (!numberOption(v, 0.1, 86400, "--poll takes seconds from 0.1 to 86400", number, why))
        return false;
      o.pollSeconds = number;
      return true;
    case kChargeState:
      return chargeStateOption(v, o, why);
    case kRecord:
      if (v.empty()) {
        why = "--record takes a file name";
        return false;
      }
      o.record = v;
      return true;
    case kVirtualTime:
      o.virtualTime = o.headless = true;
      return true;
    case kHeadless:
      o.headless = true;
      return true;
    case kLogStatus:
      o.logStatus = true;
      return true;
    case kDesktopAlerts:
      o.desktopAlerts = true;
      return true;
    case kHistory:
      o.history = true;
      return true;
  }
  return false;
}

}  // namespace

bool readOptions(int argc, const char* const* argv, const option* table,
                 const std::function<bool(int, const std::string&)>& apply, std::string& why) {
  // '+': stop at the first operand rather than reorder argv; ':': report a missing value.
  optind = 0;
  opterr = 0;
  auto* args = const_cast<char* const*>(argv);
  for (int id;;) {
    // The word being read: optind moves past a cluster such as -xh only after its last letter.
    const int at = optind == 0 ? 1 : optind;
    const std::string word = at < argc ? argv[at] : "";
    if ((id = getopt_long(argc, args, "+:h", table, nullptr)) == -1) break;
    if (id == ':') {
      why = std::string(argv[optind - 1]) + " needs a value";
      return false;
    }
    if (id == '?') {
      why = word.rfind("--", 0) == 0 ? "unknown argument '" + word + "'"
                                     : std::string("unknown option '-") +
                                           static_cast<char>(optopt) + "' in '" + word + "'";
      return false;
    }
    if (!apply(id, optarg ? optarg : "")) return false;
  }
  if (optind < argc) {
    why = std::string("unknown argument '") + argv[optind] + "'";
    return false;
  }
  return true;
}

bool parseHostOptions(int argc, const char* const* argv, HostOptions& o, std::string& why) {
  bool sourceGiven = false;
  const auto apply = [&](int id, const std::string& value) {
    sourceGiven = sourceGiven || id == kSource;
    return applyOption(id, value, o, why);
  };
  if (!readOptions(argc, argv, kLongOptions, apply, why)) return false;
  if (!o.script.empty() && (sourceGiven || o.virtualTime || !o.record.empty())) {
    why = "--script runs a scenario; it takes no source";
    return false;
  }
  if (o.virtualTime && o.replay.empty() && o.duration == 0) {
    why = "--virtual-time needs --duration, except with a recording";
    return false;
  }
  return true;
}

}  // namespace host
