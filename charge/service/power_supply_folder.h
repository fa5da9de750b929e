#pragma once

#include <string>
#include <vector>

#include "charge/limits_plan.h"

// The power-supply folder the service was started on (the kernel's, or a test's), read and
// written only through names checked to stay inside it.
namespace brimwell::charge {

class PowerSupplyFolder {
 public:
  explicit PowerSupplyFolder(std::string root) : root_(std::move(root)) {}
  const std::string& root() const { return root_; }

  // The supplies of type Battery whose scope is System (or not told), by name, with the
  // thresholds their drivers offer.
  std::vector<BatteryThresholds> batteries() const;
  // Whether a mains or USB supply of the system is online; with none to ask, whether no system
  // battery says it is discharging.
  bool externalPower() const;
  // Empty when the threshold cannot be written, or else why not in one line.
  std::string whyNotWritable(const ThresholdWrite& write) const;
  // Writes one threshold; empty, or the driver's refusal in one line.
  std::string write(const ThresholdWrite& write) const;

 private:
  std::string root_;
};

}  // namespace brimwell::charge
