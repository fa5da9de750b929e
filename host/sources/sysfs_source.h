#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/estimate/percent_steps.h"
#include "host/sources/battery_source.h"
#include "host/sources/sysfs_battery.h"

struct udev;
struct udev_monitor;

namespace host {

double secondsAsleep();

// The batteries of the machine itself, from the kernel's power-supply folder. Reads it when the
// level shown next turns at the steady rate (30 s to 10 min), or at a fixed interval when
// one is given, and at once when the kernel announces a power-supply event (the real folder
// only) or the machine woke from a sleep; adds the host's own estimates to each status, and
// delivers whenever any delivered value changed.
class SysfsSource : public BatterySource {
 public:
  static constexpr const char* kDefaultFolder = "/sys/class/power_supply";
  static constexpr double kDefaultPollInterval = estimate::kSoonestLook;  // the first wait
  // Where the charge service keeps the limits it set, and any "full once".
  static constexpr const char* kDefaultChargeState = "/var/lib/brimwell";

  // `asleepClock` (the seconds the machine has slept since it started) is the kernel's unless
  // given.
  explicit SysfsSource(std::string folder, std::optional<double> pollSeconds = std::nullopt,
                       std::function<double()> asleepClock = secondsAsleep,
                       std::string chargeState = kDefaultChargeState);
  ~SysfsSource() override;
  SysfsSource(const SysfsSource&) = delete;
  SysfsSource& operator=(const SysfsSource&) = delete;

  std::optional<brimwell::Plist> tick(double realSeconds) override;
  double simulatedSeconds() const override { return elapsed_; }
  // No battery, a battery came or went.
  std::vector<std::string> takeNotices() override;
  double secondsUntilNextLook() const override;
  int eventDescriptor() const override;
  void reopenEvents() override;
  bool hasSpeed() const override { return false; }
  std::string description() const override;
  void lookNow() override { sincePoll_ = interval_; }
  bool slept() const override { return slept_; }
  std::optional<SleepCrossing> takeSleep() override { return std::exchange(sleep_, std::nullopt); }
  void sleepBegins() override { sleepBegan_ = elapsed_ + asleep_; }
  void sleepEnded() override {
    woke_ = true;
    lookNow();
  }
  double secondsSlept() const override { return asleep_ - asleepAtStart_; }
  // Whether the last tick read the folder (the host then marks the status file current).
  bool looked() const override { return looked_; }
  std::vector<PackWear> packs() const override { return packs_; }
  void learnCharging(const history::ChargeProfile& profile) override { learned_ = profile; }

 private:
  void openMonitor();
  void closeMonitor();
  bool kernelAnnouncedChange();
  void noteBatteriesComingAndGoing(const std::vector<PowerSupply>& supplies, bool hasBattery);
  // Said once until the batteries give a level again.
  void noteUnknownLevel(const std::vector<std::string>& batteries);
  // The status for what the folder holds now, with the host's figures; none without a battery
  // (after one went: a status that says it is gone).
  std::optional<brimwell::Plist> statusNow();
  void noteSleep(const SysfsReading& reading);
  void forgetSleep();
  // ChargeFullOnce where the charge service's kept file holds a "full once" of this boot for a
  // battery read; a file missing, unreadable or damaged is none, and said nowhere: most machines
  // have none.
  void markFullOnce(const std::vector<PowerSupply>& supplies, brimwell::Plist& status) const;

  std::string folder_;
  std::string keptFile_;
  std::string bootId_;  // a process lives within one boot
  std::optional<double> fixedPoll_;
  double interval_;  // until the next look
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  double elapsed_ = 0;
  // A jump of the time asleep larger than this between two looks is a sleep.
  static constexpr double kSleepNoticed = 1.0;
  std::function<double()> asleepClock_;
  double asleep_;
  const double asleepAtStart_;
  bool slept_ = false;
  // The battery at the last look, and the time asleep not yet set against a look after it.
  struct Look {
    double level;
    std::optional<double> energyWh;
    bool external;
  };
  std::optional<Look> lastLook_;
  double unmeasuredSleep_ = 0;
  // logind's sleep: when it began on the clock that counts sleeps (host seconds plus the time
  // asleep), and whether it ended, not yet measured.
  std::optional<double> sleepBegan_;
  bool woke_ = false, announcedWake_ = false;
  std::optional<SleepCrossing> sleep_;
  bool looked_ = false;
  double sincePoll_;
  std::optional<bool> hadBattery_;
  bool saidUnknownLevel_ = false;
  estimate::SteadyRate rate_;
  estimate::PercentStepsLearner percentSteps_;
  std::optional<history::ChargeProfile> learned_;
  std::vector<PackWear> packs_;
  std::optional<brimwell::Plist> lastDelivered_;
  std::vector<std::string> notices_;
};

}  // namespace host
