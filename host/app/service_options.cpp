#include "host/app/service_options.h"

namespace host {

const char* const kServiceName = "brimwelld";

const char* const kServiceUsage =
    "usage: brimwelld [options]\n"
    "The laptop's battery service, run by the systemd user unit brimwell.service: it\n"
    "reads this machine's batteries, keeps the status file the viewer shows and the\n"
    "battery's history, gives the charge alerts and the low-battery warnings as\n"
    "desktop notifications, and prints each as a line (in the journal).\n"
    "  --sysfs DIR          the power-supply folder (/sys/class/power_supply)\n"
    "  --poll SECONDS       read it at this fixed interval (without it: when the next\n"
    "                       percent is due, 30 s to 10 min); a kernel event at once\n"
    "  --charge-state DIR   the charge service's folder, whose kept limits say a \"full\n"
    "                       once\" (/var/lib/brimwell)\n"
    "  --no-desktop-alerts  lines only: no notification and no sound on the desktop\n"
    "  --log-status         print a line for every status change\n"
    "  --duration SECONDS   stop after this long\n"
    "  --version            print the version and exit\n"
    "  --help               show this help\n"
    "It keeps the status file in $XDG_RUNTIME_DIR/brimwell and reads the settings in\n"
    "$XDG_CONFIG_HOME/brimwell (brimwell-prefs shows and changes them), folders it\n"
    "uses only when they are the user's alone. One service runs per status file.\n";

namespace {

enum OptionId {
  kHelp = 'h',
  kVersion = 'V',
  kSysfs = 256,
  kPoll,
  kChargeState,
  kNoDesktopAlerts,
  kLogStatus,
  kDuration,
};

const option kLongOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"sysfs", required_argument, nullptr, kSysfs},
    {"poll", required_argument, nullptr, kPoll},
    {"charge-state", required_argument, nullptr, kChargeState},
    {"no-desktop-alerts", no_argument, nullptr, kNoDesktopAlerts},
    {"log-status", no_argument, nullptr, kLogStatus},
    {"duration", required_argument, nullptr, kDuration},
    {nullptr, 0, nullptr, 0},
};

bool applyOption(int id, const std::string& v, HostOptions& o, std::string& why) {
  double number = 0;
  switch (id) {
    case kHelp:
      o.help = true;
      return true;
    case kVersion:
      o.version = true;
      return true;
    case kSysfs:
      if (v.empty()) why = "--sysfs takes a folder";
      o.sysfs = v;
      return !v.empty();
    case kPoll:
      if (!numberOption(v, 0.1, 86400, "--poll takes seconds from 0.1 to 86400", number, why))
        return false;
      o.pollSeconds = number;
      return true;
    case kChargeState:
      return chargeStateOption(v, o, why);
    case kNoDesktopAlerts:
      o.desktopAlerts = false;
      return true;
    case kLogStatus:
      o.logStatus = true;
      return true;
    case kDuration:
      return numberOption(v, 0, 1e9, "--duration takes seconds from 0 to 1000000000", o.duration,
                          why);
  }
  return false;
}

}  // namespace

bool parseServiceOptions(int argc, const char* const* argv, HostOptions& o, std::string& why) {
  o.sysfs = "/sys/class/power_supply";
  o.headless = o.desktopAlerts = o.history = o.laptopService = true;
  return readOptions(
      argc, argv, kLongOptions,
      [&](int id, const std::string& value) { return applyOption(id, value, o, why); }, why);
}

}  // namespace host
