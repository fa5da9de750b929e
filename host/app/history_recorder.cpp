#include "host/app/history_recorder.h"

#include <algorithm>
#include <chrono>

#include "common/status_keys.h"
#include "common/value_conversions.h"
#include "history/history_store.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

namespace host {
namespace {

namespace key = brimwell::key;
constexpr double kMinute = 60, kDay = 86400;

double wallClock() {
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
         next.time - last->time >= kMinute;
}

HistoryRecorder::HistoryRecorder(BatterySource& source, const HostOptions& options,
                                 std::function<void(const std::string&)> say)
    : source_(source), say_(std::move(say)) {
  if (options.sysfs.empty() && !options.history) return;
  if (options.virtualTime) {
    const double planned =
        options.duration > 0 ? options.duration : source.plannedSeconds().value_or(0);
    anchor_ = wallClock() - planned;
  }
  std::string why, said;
  if (!platform::makeFolderFor(history::HistoryStore::kDevicePath, &why)) {
    off(why);
    return;
  }
  const std::string path = platform::deviceFilePath(history::HistoryStore::kDevicePath);
  store_ = history::HistoryStore::openForWriting(path, why, said);
  if (!said.empty()) say_(said);
  if (!store_) {
    off(why);
    return;
  }
  last_ = store_->lastSample();
  learn();
}

HistoryRecorder::~HistoryRecorder() = default;

double HistoryRecorder::timeOf(double hostSeconds) const {
  return anchor_ ? *anchor_ + hostSeconds : wallClock();
}

void HistoryRecorder::off(const std::string& why) {
  store_.reset();
  say_("history off: " + why);
}

void HistoryRecorder::learn() {
  const history::ChargeProfile profile = store_->chargeProfile();
  if (profile.charges > 0) source_.learnCharging(profile);
}

void HistoryRecorder::onStatus(const brimwell::Plist& status, double hostSeconds) {
  if (!store_) return;
  const double time = timeOf(hostSeconds);
  const std::optional<history::Sample> sample = sampleOf(status, time);
  if (!sample || !wantsSample(last_, *sample)) return;
  const bool endOfCharge = sample->state == "full" && last_ && last_->state != "full";
  std::string why;
  if (!store_->addSample(*sample, why)) return off(why);
  last_ = sample;
  recordWear(status, time, endOfCharge);
  if (!store_) return;
  if (!lastThin_ || time - *lastThin_ >= kDay) {
    lastThin_ = time;
    if (!store_->thin(time, why)) return off(why);
  }
  if (endOfCharge) learn();
}

// Each pack's wear once a day, and at each end of a full charge.
void HistoryRecorder::recordWear(const brimwell::Plist& status, double time, bool endOfCharge) {
  std::vector<PackWear> packs = source_.packs();
  if (packs.empty()) {
    const auto design = realIfThere(status, key::kDesignCapacity);
    const auto full = realIfThere(status, key::kRawMaxCapacity);
    if (!design || !full || *design <= 0 || *full <= 0) return;
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
      known = lastWear_.emplace(p.serial, store_->lastHealthTime(p.serial).value_or(-kDay)).first;
    }
    if (!endOfCharge && time - known->second < kDay) continue;
    std::string why;
    if (!store_->addHealth(
            {time, p.model, p.serial, p.designCapacity, p.fullChargeCapacity, p.cycleCount}, why)) {
      return off(why);
    }
    known->second = time;
  }
}

}  // namespace host
