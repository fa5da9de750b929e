#pragma once

#include <string>
#include <vector>

// brimwell-charge's command line: where the power supplies and the kept limits are. Only the
// one who starts the service chooses them; nothing a caller sends can.
namespace brimwell::charge {

inline constexpr const char* kKernelSupplies = "/sys/class/power_supply";

struct ChargeOptions {
  std::string sysfsRoot = kKernelSupplies;
  std::string stateDir = "/var/lib/brimwell";
  // This boot's id as the unit gives it (systemd's %b), where the service's /proc hides the
  // kernel's; empty: read from /proc.
  std::string bootId;
  bool help = false;
  bool version = false;
  std::string error;  // a wrong command line, in one line
};

ChargeOptions parseChargeOptions(const std::vector<std::string>& arguments);
extern const char* const kChargeUsage;

}  // namespace brimwell::charge
