#pragma once

#include <string>
#include <vector>

#include "charge/limits_plan.h"

// The power-supply folder the service was started on (the kernel's, or a test's): read as the
// laptop service reads it (power_supply/), written only through names checked to stay inside it.
namespace brimwell::charge {

class PowerSupplyFolder {
 public:
  explicit PowerSupplyFolder(std::string root) : root_(std::move(root)) {}
  const std::string& root() const { return root_; }

  // The system batteries a caller could name, by name, with the thresholds their drivers offer.
  std::vector<BatteryThresholds> batteries() const;
  // Whether the machine runs on external power, by the laptop service's rule; where nothing
  // tells, as if it did.
  bool externalPower() const;
  // Empty when the threshold cannot be written, or else why not in one line.
  std::string whyNotWritable(const ThresholdWrite& write) const;
  // Writes one threshold; empty, or the driver's refusal in one line.
  std::string write(const ThresholdWrite& write) const;

 private:
  std::string root_;
};

}  // namespace brimwell::charge
