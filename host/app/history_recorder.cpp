#include "host/app/history_recorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "common/dictionary_file.h"
#include "common/status_keys.h"
#include "common/value_conversions.h"
#include "history/history_store.h"
#include "host/sleep/sleep_drain.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"
#include "platform/foundation/ns_file_manager.h"

namespace host {
namespace {

// Closes the database as a write ends, in real time.
struct ClosedAfter {
  std::unique_ptr<history::HistoryStore>& store;
  bool keptOpen;
  ~ClosedAfter() {
    if (!keptOpen) store.reset();
  }
};

namespace key = brimwell::key;
constexpr double kMinute = 60, kDay = 86400;

// There while systemd's time service has set the clock from the network, since the boot.
constexpr const char* kClockSynchronised = "/run/systemd/timesync/synchronized";

double systemClock() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::optional<double> realIfThere(const brimwell::Plist& d, const char* name) {
  const brimwell::Plist* value = d.item(name);
  if (!value) return std::nullopt;
  return brimwell::intValueOf(value);
}

// The way the charge goes, for a status that does not say it (a phone's).
std::string stateOf(const brimwell::Plist& d) {
  if (const brimwell::Plist* state = d.item(key::kChargingState)) return state->text();
  const auto flag = [&](const char* name) { return brimwell::boolValueOf(d.item(name)); };
  if (flag(key::kFullyCharged) && flag(key::kExternalConnected)) return "full";
  if (flag(key::kIsCharging)) return "charging";
  if (brimwell::intValueOf(d.item(key::kInstantAmperage)) < 0 || !flag(key::kExternalConnected))
    return "discharging";
  return "not-charging";
}

std::optional<double> knownMinutes(const brimwell::Plist& d, const char* name) {
  const auto minutes = realIfThere(d, name);
  if (!minutes || *minutes < 0 || *minutes == brimwell::kUnknownMinutes) return std::nullopt;
  return minutes;
}

// One of the kernel's files under /sys/power; empty when it does not say.
std::string powerFile(const char* path) {
  return brimwell::readSmallRegularFile(platform::deviceFilePath(path)).value_or("");
}

sleep::SuspendCounts suspendsSoFar() {
  return {sleep::suspendCount(powerFile("/sys/power/suspend_stats/success")),
          sleep::suspendCount(powerFile("/sys/power/suspend_stats/fail"))};
}

}  // namespace

std::optional<history::Sample> sampleOf(const brimwell::Plist& d, double time) {
  history::Sample s;
  s.time = time;
  if (const auto percent = realIfThere(d, key::kCurrentCapacityPercent)) {
    s.level = *percent;
  } else {
    const auto charge = realIfThere(d, key::kRawCurrentCapacity);
    const auto full = realIfThere(d, key::kRawMaxCapacity);
    if (!charge || !full || *full <= 0) return std::nullopt;
    s.level = std::clamp(100 * *charge / *full, 0.0, 100.0);
  }
  if (const auto milliwatts = realIfThere(d, key::kBatteryPower)) {
    s.powerW = *milliwatts / 1000;
  } else if (const auto amps = realIfThere(d, key::kInstantAmperage)) {
    if (const auto volts = realIfThere(d, key::kVoltage)) s.powerW = *amps * *volts / 1e6;
  }
  s.state = stateOf(d);
  s.externalPower = brimwell::boolValueOf(d.item(key::kExternalConnected)) ||
                    brimwell::boolValueOf(d.item(key::kExternalChargeCapable));
  s.minutesToEmpty = knownMinutes(d, key::kAvgTimeToEmpty);
  s.minutesToFull = knownMinutes(d, key::kAvgTimeToFull);
  return s;
}

bool wantsSample(const std::optional<history::Sample>& last, const history::Sample& next) {
  return !last || next.state != last->state || next.externalPower != last->externalPower ||
         std::abs(next.time - last->time) >= kMinute;
}

HistoryRecorder::HistoryRecorder(BatterySource& source, const HostOptions& options,
                                 std::function<void(const std::string&)> say,
                                 std::function<double()> wallClock)
    : source_(source), say_(std::move(say)), wallClock_(std::move(wallClock)) {
  if (!wallClock_) wallClock_ = systemClock;
  // Counted from the start, so that a sleep no suspend counted is known for a hibernation.
  if (!options.sysfs.empty()) suspends_ = suspendsSoFar();
  if (options.sysfs.empty() && !options.history) return;
  wallAtStart_ = wallClock_();
  keptOpen_ = options.virtualTime;
  if (options.virtualTime) {
    const double planned =
        options.duration > 0 ? options.duration : source.plannedSeconds().value_or(0);
    anchor_ = wallAtStart_ - planned;
  }
  std::string why;
  if (!platform::makeFolderFor(history::HistoryStore::kDevicePath, &why)) {
    off(why);
    return;
  }
  path_ = platform::deviceFilePath(history::HistoryStore::kDevicePath);
  const ClosedAfter closed{store_, keptOpen_};
  if (open(0)) learn();
}

HistoryRecorder::~HistoryRecorder() = default;

double HistoryRecorder::timeOf(double hostSeconds) const {
  return anchor_ ? *anchor_ + hostSeconds : wallClock_();
}

void HistoryRecorder::off(const std::string& why) {
  store_.reset();
  path_.clear();
  say_("history off: " + why);
}

bool HistoryRecorder::open(double hostSeconds) {
  if (store_) return true;
  if (nextTry_ && hostSeconds < *nextTry_) return false;
  history::Failure failure;
  std::string said;
  // Every page is checked at the first open of a run and once a day after: writes that append
  // never read a page damaged elsewhere, and the viewer could not read the history meanwhile.
  const bool check = !checkedAt_ || std::abs(hostSeconds - *checkedAt_) >= kDay;
  store_ = history::HistoryStore::openForWriting(path_, failure, said, check);
  if (!said.empty()) say_(said);
  if (!store_) return written(failure, hostSeconds);
  if (check) checkedAt_ = hostSeconds;
  if (!last_) last_ = store_->lastSample();
  return true;
}

// What a failed write leaves: false. A passing trouble closes the database (a checkpoint then
// gives back the WAL file's room) until a minute later; a damaged database is replaced.
bool HistoryRecorder::written(const history::Failure& failure, double hostSeconds) {
  store_.reset();
  if (failure.trouble == history::Trouble::lasting || path_.empty()) {
    off(failure.why);
    return false;
  }
  if (failure.trouble == history::Trouble::damaged) {
    history::Failure again;
    std::string said;
    store_ = history::HistoryStore::startAfresh(path_, again, said);
    say_(said);
    if (!store_) off(again.why);
    return false;
  }
  nextTry_ = hostSeconds + kMinute;
  if (!waiting_) say_("history waits: " + failure.why + "; tried again each minute");
  waiting_ = true;
  return false;
}

bool HistoryRecorder::flush(double hostSeconds) {
  if (unwritten_.empty()) return true;
  // A damaged database is replaced by a fresh one at once: the samples go there straight away.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (path_.empty() || (!open(hostSeconds) && !store_)) return false;
    history::Failure failure;
    if (store_->addSamples(unwritten_, failure)) {
      unwritten_.clear();
      if (waiting_) say_("history written again");
      waiting_ = false;
      return true;
    }
    written(failure, hostSeconds);
  }
  return false;
}

std::string HistoryRecorder::stop(double hostSeconds) {
  if (path_.empty() || unwritten_.empty()) return "";
  const ClosedAfter closed{store_, keptOpen_};
  nextTry_.reset();
  waiting_ = true;  // no promise of another try
  if (flush(hostSeconds)) return "";
  const size_t lost = unwritten_.size();
  unwritten_.clear();
  return "history: " + std::to_string(lost) + (lost == 1 ? " sample" : " samples") +
         " held back could not be written before the end";
}

// Whether the wall clock can be trusted: the system says it is synchronised, or it has kept
// step with the run's own clock for an hour awake. A clock put right starts the hour again; a
// sleep does not, since the time slept is added to the run's clock, which stops meanwhile.
bool HistoryRecorder::clockSettled(double time, double hostSeconds) {
  constexpr double kStep = 60, kSettled = 3600;
  const double offset = time - hostSeconds - source_.secondsSlept();
  if (!clockOffset_ || std::abs(offset - *clockOffset_) > kStep) settledSince_ = hostSeconds;
  clockOffset_ = offset;
  return hostSeconds - settledSince_ >= kSettled ||
         NSFileManager::defaultManager().fileExistsAtPath(kClockSynchronised);
}

history::SleepEntry HistoryRecorder::onSleep(const BatterySource::SleepCrossing& c,
                                             double hostSeconds) {
  const double end = timeOf(hostSeconds);
  const sleep::SuspendCounts before = std::exchange(suspends_, suspendsSoFar());
  history::SleepEntry record = sleep::measureSleep(
      {end - c.seconds, c.levelBefore, c.energyBeforeWh, c.externalBefore},
      {end, c.levelAfter, c.energyAfterWh, c.externalAfter},
      sleep::kernelSleepFrom(powerFile("/sys/power/mem_sleep"),
                             powerFile("/sys/power/suspend_stats/last_hw_sleep"),
                             powerFile("/sys/power/pm_wakeup_irq"), before, suspends_));
  const ClosedAfter closed{store_, keptOpen_};
  if (path_.empty() || end - c.seconds < kEarliestClock || !open(hostSeconds)) return record;
  history::Failure failure;
  if (!store_->addSleep(record, failure)) written(failure, hostSeconds);
  return record;
}

void HistoryRecorder::learn() {
  const history::ChargeProfile profile = store_->chargeProfile();
  if (profile.charges > 0) source_.learnCharging(profile);
}

void HistoryRecorder::onStatus(const brimwell::Plist& status, double hostSeconds) {
  if (path_.empty()) return;
  const ClosedAfter closed{store_, keptOpen_};
  const double time = timeOf(hostSeconds);
  const bool settled = clockSettled(time, hostSeconds);
  if ((anchor_ ? wallAtStart_ : time) < kEarliestClock) {
    if (!unsetSaid_) say_("history paused: the clock is not set");
    unsetSaid_ = true;
    return;
  }
  const std::optional<history::Sample> sample = sampleOf(status, time);
  if (!sample || !wantsSample(last_, *sample)) return;
  const bool endOfCharge = sample->state == "full" && last_ && last_->state != "full";
  wearDue_ = wearDue_ || endOfCharge;
  last_ = sample;
  constexpr size_t kMostHeldBack = 1440;  // a day of minute samples
  if (unwritten_.size() >= kMostHeldBack) unwritten_.erase(unwritten_.begin());
  unwritten_.push_back(*sample);
  if (!flush(hostSeconds) || !recordWear(status, time, hostSeconds, settled) || !settled) return;
  if (!lastThin_ || std::abs(time - *lastThin_) >= kDay) {
    history::Failure failure;
    if (!store_->thin(time, failure)) return (void)written(failure, hostSeconds);
    lastThin_ = time;
  }
  if (endOfCharge) learn();
}

// Each pack's wear once a day, and at each end of a full charge, by a clock that can be trusted;
// a pack's first at once, so that its health is there from the first reading, and so is one whose
// last was logged under a clock that ran ahead, once the clock is back behind it. False when a
// write failed.
bool HistoryRecorder::recordWear(const brimwell::Plist& status, double time, double hostSeconds,
                                 bool settled) {
  std::vector<PackWear> packs = source_.packs();
  if (packs.empty()) {
    const auto design = realIfThere(status, key::kDesignCapacity);
    const auto full = realIfThere(status, key::kRawMaxCapacity);
    if (!design || !full || *design <= 0 || *full <= 0) return true;
    PackWear pack;
    pack.model = brimwell::textOf(status.item(key::kManufacturer)).value_or("");
    pack.serial = brimwell::textOf(status.item(key::kSerial)).value_or("");
    pack.designCapacity = static_cast<int32_t>(*design);
    pack.fullChargeCapacity = static_cast<int32_t>(*full);
    if (const auto cycles = realIfThere(status, key::kCycleCount))
      pack.cycleCount = static_cast<int32_t>(*cycles);
    packs.push_back(pack);
  }
  for (const PackWear& p : packs) {
    auto known = lastWear_.find(p.serial);
    if (known == lastWear_.end()) {
      known = lastWear_.emplace(p.serial, store_->lastHealthTime(p.serial)).first;
    }
    history::Failure failure;
    if (known->second && *known->second > time + kMinute) {
      if (!store_->dropHealthAfter(time, failure)) return written(failure, hostSeconds);
      known->second = store_->lastHealthTime(p.serial);
    }
    if (known->second && (!settled || (!wearDue_ && std::abs(time - *known->second) < kDay))) {
      continue;
    }
    if (!store_->addHealth(
            {time, p.model, p.serial, p.designCapacity, p.fullChargeCapacity, p.cycleCount},
            failure)) {
      return written(failure, hostSeconds);
    }
    known->second = time;
  }
  if (settled) wearDue_ = false;
  return true;
}

}  // namespace host
