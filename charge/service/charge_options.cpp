#include "charge/service/charge_options.h"

#include "charge/kept_limits.h"

namespace brimwell::charge {

const char* const kChargeUsage =
    "usage: brimwell-charge [--sysfs-root DIR] [--state-dir DIR] [--boot-id ID]\n"
    "The system service that sets the battery's charge limits for brimwell-prefs, on the\n"
    "system bus as org.tarnel.Brimwell.Charge, each change allowed by polkit. Started by\n"
    "D-Bus or systemd, it puts the kept limits back and ends when idle.\n"
    "  --sysfs-root DIR  the power-supply folder (/sys/class/power_supply)\n"
    "  --state-dir DIR   where the chosen limits are kept (/var/lib/brimwell)\n"
    "  --boot-id ID      this boot's id, where /proc/sys cannot be read (the unit gives %b)\n"
    "  --version         print the version and exit\n"
    "  -h, --help        show this help\n";

ChargeOptions parseChargeOptions(const std::vector<std::string>& arguments) {
  ChargeOptions o;
  for (size_t i = 0; i < arguments.size() && o.error.empty(); ++i) {
    const std::string& a = arguments[i];
    std::string* folder = a == "--sysfs-root"  ? &o.sysfsRoot
                          : a == "--state-dir" ? &o.stateDir
                                               : nullptr;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--boot-id") {
      o.bootId = i + 1 < arguments.size() ? bootIdFrom(arguments[++i]) : "";
      if (o.bootId.empty()) o.error = "--boot-id takes a boot id of 32 hexadecimal digits";
    } else if (a == "--version") {
      o.version = true;
    } else if (!folder) {
      o.error = "unknown option " + a + " (see --help)";
    } else if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      o.error = a + " takes a folder";
    } else {
      *folder = arguments[++i];
    }
  }
  return o;
}

}  // namespace brimwell::charge
