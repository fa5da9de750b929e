#include "host/sources/sysfs_source.h"

#include <libudev.h>

#include <time.h>

#include <cstdio>
#include <filesystem>

#include "charge/kept_limits.h"
#include "common/status_keys.h"

namespace host {

SysfsSource::SysfsSource(std::string folder, std::optional<double> pollSeconds,
                         std::function<double()> asleepClock, std::string chargeState)
    : BatterySource(1),
      folder_(std::move(folder)),
      keptFile_(chargeState + "/" + brimwell::charge::kKeptFileName),
      bootId_(brimwell::charge::currentBootId()),
      fixedPoll_(pollSeconds),
      interval_(pollSeconds.value_or(kDefaultPollInterval)),
      asleepClock_(std::move(asleepClock)),
      asleep_(asleepClock_()),
      asleepAtStart_(asleep_),
      sincePoll_(interval_) {
  openMonitor();
}

SysfsSource::~SysfsSource() {
  closeMonitor();
}

void SysfsSource::openMonitor() {
  // Kernel events exist only for the real folder, however it is spelled; a copy of it is
  // polled. The kernel's own events, not udev's: they need no udev daemon, and the attributes
  // are readable at once.
  std::error_code error;
  if (!std::filesystem::equivalent(folder_, kDefaultFolder, error)) return;
  udev_ = udev_new();
  if (udev_) monitor_ = udev_monitor_new_from_netlink(udev_, "kernel");
  if (monitor_ &&
      (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "power_supply", nullptr) < 0 ||
       udev_monitor_enable_receiving(monitor_) < 0)) {
    monitor_ = udev_monitor_unref(monitor_);
  }
}

void SysfsSource::closeMonitor() {
  if (monitor_) monitor_ = udev_monitor_unref(monitor_);
  if (udev_) udev_ = udev_unref(udev_);
}

int SysfsSource::eventDescriptor() const {
  return monitor_ ? udev_monitor_get_fd(monitor_) : -1;
}

void SysfsSource::reopenEvents() {
  closeMonitor();
  openMonitor();
  sincePoll_ = interval_;  // events were lost: read the folder at the next look
}

bool SysfsSource::kernelAnnouncedChange() {
  bool announced = false;
  // The monitor's socket does not block: this drains what has arrived.
  while (monitor_) {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (!device) break;
    announced = true;
    udev_device_unref(device);
  }
  return announced;
}

double SysfsSource::secondsUntilNextLook() const {
  return sincePoll_ >= interval_ ? 0.0 : interval_ - sincePoll_;
}

std::string SysfsSource::description() const {
  if (!fixedPoll_) return "sysfs " + folder_ + ", read as the charge moves";
  char interval[32];
  std::snprintf(interval, sizeof interval, "%g s", *fixedPoll_);
  return "sysfs " + folder_ + ", read every " + interval;
}

void SysfsSource::noteBatteriesComingAndGoing(const std::vector<PowerSupply>& supplies,
                                              bool hasBattery) {
  if (hadBattery_ == hasBattery) return;
  if (!hasBattery) {
    notices_.push_back(hadBattery_ ? "the battery is gone from " + folder_
                                   : "no battery found in " + folder_ + "; waiting for one");
  } else if (hadBattery_.has_value()) {
    std::string names;
    for (const PowerSupply* b : systemBatteries(supplies)) {
      names += (names.empty() ? "" : ", ") + b->name;
    }
    notices_.push_back("a battery appeared: " + names);
  }
  hadBattery_ = hasBattery;
}

void SysfsSource::noteUnknownLevel(const std::vector<std::string>& batteries) {
  const bool unknown = !batteries.empty();
  if (unknown && !saidUnknownLevel_) {
    std::string names;
    for (const std::string& name : batteries) names += (names.empty() ? "" : ", ") + name;
    notices_.push_back(names +
                       " gives no percent (no capacity that is a number, and no charge or energy "
                       "beside a full or design value): its level is shown as its driver words "
                       "it, or as unknown, with no times until it gives one");
  }
  saidUnknownLevel_ = unknown;
}

// The time the machine has spent asleep since it started: CLOCK_BOOTTIME counts it,
// CLOCK_MONOTONIC does not.
double secondsAsleep() {
  timespec boot{}, monotonic{};
  ::clock_gettime(CLOCK_BOOTTIME, &boot);
  ::clock_gettime(CLOCK_MONOTONIC, &monotonic);
  return static_cast<double>(boot.tv_sec - monotonic.tv_sec) +
         static_cast<double>(boot.tv_nsec - monotonic.tv_nsec) / 1e9;
}

std::optional<brimwell::Plist> SysfsSource::tick(double realSeconds) {
  elapsed_ += realSeconds;
  sincePoll_ += realSeconds;
  const double asleep = asleepClock_();
  // After a sleep the battery is read at once: nothing read before it holds.
  slept_ = asleep - asleep_ > kSleepNoticed || woke_;
  if (asleep - asleep_ > kSleepNoticed) unmeasuredSleep_ += asleep - asleep_;
  announcedWake_ = announcedWake_ || std::exchange(woke_, false);
  asleep_ = asleep;
  if (slept_) sincePoll_ = interval_;
  looked_ = kernelAnnouncedChange() || sincePoll_ >= interval_;
  if (!looked_) return std::nullopt;
  sincePoll_ = 0;
  std::optional<brimwell::Plist> status = statusNow();
  if (!status || status == lastDelivered_) return std::nullopt;
  lastDelivered_ = status->copy();
  return status;
}

std::optional<brimwell::Plist> SysfsSource::statusNow() {
  const std::vector<PowerSupply> supplies = readPowerSupplies(folder_);
  std::vector<std::string> unknownLevel;
  std::optional<SysfsReading> reading = readSysfs(supplies, &unknownLevel);
  const bool hadBattery = hadBattery_.value_or(false);
  noteBatteriesComingAndGoing(supplies, !systemBatteries(supplies).empty());
  noteUnknownLevel(unknownLevel);
  if (!reading) {
    forgetSleep();
    interval_ = fixedPoll_.value_or(estimate::kSoonestLook);
    if (!unknownLevel.empty()) {
      packs_.clear();  // no charge to log wear by
      std::optional<brimwell::Plist> coarse = coarseStatus(supplies);
      if (coarse) markFullOnce(supplies, *coarse);
      return coarse;
    }
    // The old figures would stand for a battery that is not there.
    if (!hadBattery || hadBattery_.value_or(false)) return std::nullopt;
    brimwell::Plist gone = brimwell::Plist::newDictionary();
    gone.setItem(brimwell::key::kBatteryInstalled, brimwell::Plist::boolean(false));
    return gone;
  }
  reading->estimate.time = elapsed_;
  noteSleep(*reading);
  rate_.add(reading->estimate, slept_);
  percentSteps_.add(reading->estimate);
  const std::optional<double> watts = rate_.watts();
  interval_ = fixedPoll_.value_or(estimate::secondsUntilNextLook(
      reading->estimate, watts, rate_.settled(), percentSteps_.steps()));
  addHostFigures(*reading,
                 estimate::timesFor(reading->estimate, watts, learned_ ? &*learned_ : nullptr),
                 reading->status);
  packs_ = std::move(reading->packs);
  markFullOnce(supplies, reading->status);
  return std::move(reading->status);
}

void SysfsSource::markFullOnce(const std::vector<PowerSupply>& supplies,
                               brimwell::Plist& status) const {
  const auto kept = brimwell::charge::readKeptFile(keptFile_);
  if (!kept.text) return;
  if (fullOnceWaits(*kept.text, supplies, bootId_))
    status.setItem(brimwell::key::kChargeFullOnce, brimwell::Plist::boolean(true));
}

// A battery not read leaves any sleep before unmeasured: a later reading would count the time
// awake since as asleep, and a reading before it no longer holds.
void SysfsSource::forgetSleep() {
  lastLook_.reset();
  unmeasuredSleep_ = 0;
  announcedWake_ = false;
  sleepBegan_.reset();
}

// A sleep is measured from the last look before it to the first after it.
void SysfsSource::noteSleep(const SysfsReading& reading) {
  const estimate::Reading& e = reading.estimate;
  const double level = reading.kernelPercent.value_or(
      e.energyWh && e.fullWh && *e.fullWh > 0 ? 100 * *e.energyWh / *e.fullWh : 0);
  const Look now{level, e.energyWh, e.externalPower};
  // Where logind told when it began, from then; else the time the clocks say it slept.
  const double seconds =
      announcedWake_ && sleepBegan_ ? elapsed_ + asleep_ - *sleepBegan_ : unmeasuredSleep_;
  if (seconds > 0 && lastLook_) {
    sleep_ = SleepCrossing{seconds,      lastLook_->level,    now.level,   lastLook_->energyWh,
                           now.energyWh, lastLook_->external, now.external};
  }
  unmeasuredSleep_ = 0;
  announcedWake_ = false;
  sleepBegan_.reset();
  lastLook_ = now;
}

std::vector<std::string> SysfsSource::takeNotices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

}  // namespace host
