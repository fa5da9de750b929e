#include "host/app/host_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace host {

const char* const kHostUsage =
    "usage: springboard-sim [--source sim|replay=FILE] [options]\n"
    "       springboard-sim --script FILE\n"
    "The stand-in home-screen host: loads the plug-ins in the device's\n"
    "/Library/MobileSubstrate/DynamicLibraries and delivers battery status changes to them.\n"
    "On a terminal it shows the lock screen and the alerts; otherwise it prints what happens.\n"
    "  --source sim          a simulated phone battery (the default)\n"
    "  --source replay=FILE  a recorded session: a plist array of {delay; status} dictionaries\n"
    "  --source sysfs[=DIR]  this machine's own battery (DIR: /sys/class/power_supply)\n"
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
    "  --record FILE         write every status change delivered, for --source replay=FILE\n"
    "  --script FILE         run a scenario (FILE may be -) and print its transcript\n"
    "The device is SIM_DEVICE_ROOT (default /).\n"
    "Keys on the screen: c charger, l lock/unlock, + and - speed, Enter closes a dialog, q "
    "quits.\n";

namespace {

bool parseNumber(const std::string& text, double low, double high, double& out) {
  errno = 0;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && errno == 0 && std::isfinite(out) &&
         out >= low && out <= high;
}

}  // namespace

bool parseHostOptions(int argc, const char* const* argv, HostOptions& o, std::string& why) {
  auto value = [&](int& i, const std::string& flag, std::string& out) {
    if (i + 1 >= argc) {
      why = flag + " needs a value";
      return false;
    }
    out = argv[++i];
    return true;
  };
  bool sourceGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string v;
    double number = 0;
    if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--script") {
      if (!value(i, arg, o.script)) return false;
    } else if (arg == "--source") {
      if (!value(i, arg, v)) return false;
      sourceGiven = true;
      o.replay.clear();
      o.sysfs.clear();
      if (v == "sim") {
      } else if (v == "sysfs") {
        o.sysfs = "/sys/class/power_supply";
      } else if (v.rfind("sysfs=", 0) == 0 && v.size() > 6) {
        o.sysfs = v.substr(6);
      } else if (v.rfind("replay=", 0) == 0 && v.size() > 7) {
        o.replay = v.substr(7);
      } else {
        why = "--source takes sim, replay=FILE or sysfs[=DIR], not '" + v + "'";
        return false;
      }
    } else if (arg == "--speed") {
      if (!value(i, arg, v)) return false;
      if (!parseNumber(v, 0.001, 1e6, number)) {
        why = "--speed takes a number from 0.001 to 1000000, not '" + v + "'";
        return false;
      }
      o.speed = number;
    } else if (arg == "--start") {
      if (!value(i, arg, v)) return false;
      if (!parseNumber(v, 0, 100, o.startPercent)) {
        why = "--start takes a percentage from 0 to 100, not '" + v + "'";
        return false;
      }
    } else if (arg == "--charger") {
      if (!value(i, arg, v)) return false;
      if (v != "on" && v != "off") {
        why = "--charger takes on or off, not '" + v + "'";
        return false;
      }
      o.charger = v == "on";
    } else if (arg == "--seed") {
      if (!value(i, arg, v)) return false;
      if (!parseNumber(v, 0, 4294967295.0, number) || number != std::floor(number)) {
        why = "--seed takes a whole number, not '" + v + "'";
        return false;
      }
      o.seed = static_cast<uint32_t>(number);
    } else if (arg == "--duration") {
      if (!value(i, arg, v)) return false;
      if (!parseNumber(v, 0, 1e9, o.duration)) {
        why = "--duration takes seconds from 0 to 1000000000, not '" + v + "'";
        return false;
      }
    } else if (arg == "--record") {
      if (!value(i, arg, o.record)) return false;
    } else if (arg == "--virtual-time") {
      o.virtualTime = o.headless = true;
    } else if (arg == "--headless") {
      o.headless = true;
    } else if (arg == "--log-status") {
      o.logStatus = true;
    } else if (arg == "--desktop-alerts") {
      o.desktopAlerts = true;
    } else {
      why = "unknown argument '" + arg + "'";
      return false;
    }
  }
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
