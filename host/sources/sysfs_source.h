#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/sources/battery_source.h"

namespace host {

// The battery of the machine itself, from the kernel's power-supply folder. Reads it every few
// seconds, and at once when the kernel announces a power-supply event; delivers whenever any
// delivered value changed.
class SysfsSource : public BatterySource {
 public:
  static constexpr const char* kDefaultFolder = "/sys/class/power_supply";
  static constexpr double kPollInterval = 2.0;  // seconds

  explicit SysfsSource(std::string folder);
  ~SysfsSource() override;
  SysfsSource(const SysfsSource&) = delete;
  SysfsSource& operator=(const SysfsSource&) = delete;

  std::optional<brimwell::Plist> tick(double realSeconds) override;
  double simulatedSeconds() const override { return elapsed_; }
  // No battery, a battery came or went.
  std::vector<std::string> takeNotices() override;

 private:
  bool kernelAnnouncedChange();

  std::string folder_;
  int uevents_ = -1;
  double elapsed_ = 0;
  double sincePoll_ = kPollInterval;
  std::optional<bool> hadBattery_;
  std::string lastDelivered_;
  std::vector<std::string> notices_;
};

}  // namespace host
