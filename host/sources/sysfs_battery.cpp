#include "host/sources/sysfs_battery.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

#include "charge/kept_limits.h"
#include "common/saturating_truncate.h"
#include "common/status_keys.h"
#include "host/sources/battery_pack.h"

namespace host {
namespace {

using brimwell::Plist;
namespace key = brimwell::key;

// The sum of one value over every battery, saturated as it is read; none unless each gives it.
std::optional<int64_t> sumOf(const std::vector<BatteryPack>& packs,
                             std::optional<int64_t> BatteryPack::*value) {
  int64_t sum = 0;
  for (const BatteryPack& p : packs) {
    if (!(p.*value)) return std::nullopt;
    sum += *(p.*value);
  }
  return brimwell::saturatingTruncate(static_cast<double>(sum));
}

// The largest of one value over the batteries that give it.
std::optional<int64_t> highestOf(const std::vector<BatteryPack>& packs,
                                 std::optional<int64_t> BatteryPack::*value) {
  std::optional<int64_t> highest;
  for (const BatteryPack& p : packs) {
    if (p.*value && (!highest || *(p.*value) > *highest)) highest = p.*value;
  }
  return highest;
}

// The texts the batteries give, joined in name order.
std::optional<std::string> joinedOf(const std::vector<BatteryPack>& packs,
                                    std::optional<std::string> BatteryPack::*text) {
  std::optional<std::string> joined;
  for (const BatteryPack& p : packs) {
    if (p.*text) joined = joined ? *joined + " / " + *(p.*text) : *(p.*text);
  }
  return joined;
}

// The voltage of the battery carrying the largest current; the first by name when none flows.
std::optional<int64_t> voltageOf(const std::vector<BatteryPack>& packs) {
  const BatteryPack* carrying = &packs.front();
  for (const BatteryPack& p : packs) {
    if (p.current && std::abs(*p.current) > std::abs(carrying->current.value_or(0))) carrying = &p;
  }
  return carrying->voltage;
}

// Where one pack's driver gives no charge at all, every pack is counted on the scale of 100,
// so that the combined level is still now over full.
void onOneScale(std::vector<BatteryPack>& packs) {
  if (std::none_of(packs.begin(), packs.end(), [](const BatteryPack& p) { return p.percentScale; }))
    return;
  for (BatteryPack& p : packs) {
    p.full = 100;
    p.now = std::lround(*p.level);
  }
}

void setInteger(Plist& d, const char* name, std::optional<int64_t> value) {
  if (value) d.setItem(name, Plist::integer(*value));
}

// The flags come from the statuses and the external power; without either they are unknown.
void setFlags(Plist& d, const std::vector<BatteryPack>& packs, ExternalPower power) {
  const bool statusKnown = std::any_of(packs.begin(), packs.end(),
                                       [](const BatteryPack& p) { return p.status.has_value(); });
  if (statusKnown) {
    d.setItem(key::kIsCharging,
              Plist::boolean(std::any_of(packs.begin(), packs.end(), [](const BatteryPack& p) {
                return p.hasStatus("Charging");
              })));
    d.setItem(key::kFullyCharged,
              Plist::boolean(std::all_of(packs.begin(), packs.end(), reportsFull)));
  }
  if (power == ExternalPower::unknown) return;
  const bool connected = power == ExternalPower::online;
  // A battery that is not charging below its limit shows a source that cannot charge.
  const bool canCharge = std::any_of(packs.begin(), packs.end(), [](const BatteryPack& p) {
    return !p.hasStatus("Not charging") || heldFull(p);
  });
  d.setItem(key::kExternalConnected, Plist::boolean(connected));
  d.setItem(key::kExternalChargeCapable, Plist::boolean(connected && canCharge));
}

// The state of all packs together, as a word can say it.
estimate::ChargeState stateOf(const Plist& status, ExternalPower power, double current,
                              std::optional<double> watts) {
  using estimate::ChargeState;
  if (power == ExternalPower::offline) return ChargeState::discharging;
  const auto flag = [&](const char* name) {
    const Plist* value = status.item(name);
    return value && value->booleanValue();
  };
  if (flag(key::kFullyCharged)) return ChargeState::full;
  if (flag(key::kIsCharging)) return ChargeState::charging;
  // A charger that does not keep up: the battery drains all the same. On mains, a few mA out of
  // an idle pack, under the estimator's lowest rate, is no drain (bars would show it urgent).
  const bool idle =
      power == ExternalPower::online && watts && *watts > -estimate::SteadyRate::kLowest;
  if (current < 0 && !idle) return ChargeState::discharging;
  if (power == ExternalPower::online) return ChargeState::notCharging;
  return current > 0 ? ChargeState::charging : ChargeState::unknown;
}

// The unit all packs' stores are counted in: Wh and W; or, where some pack's driver gives no
// voltage, Ah and A (a time is the same either way, only the figures are not watts); or, where
// some pack's driver gives no charge at all, only its percentage, percents, with no flow (no
// current tells how fast percents go).
enum class StoreUnit { wattHours, ampereHours, percent };
StoreUnit unitOf(const std::vector<BatteryPack>& packs) {
  const auto all = [&](auto has) { return std::all_of(packs.begin(), packs.end(), has); };
  if (all([](const BatteryPack& p) { return p.energyWh && p.fullWh; })) return StoreUnit::wattHours;
  if (all([](const BatteryPack& p) { return !p.percentScale; })) return StoreUnit::ampereHours;
  return StoreUnit::percent;
}

struct Store {
  std::optional<double> now, full, flow;
};
Store storeOf(const BatteryPack& p, StoreUnit unit) {
  if (unit == StoreUnit::wattHours) return {p.energyWh, p.fullWh, p.powerW};
  if (unit == StoreUnit::percent) return {p.level, 100.0, std::nullopt};
  const auto ampere = [](std::optional<int64_t> milli) -> std::optional<double> {
    if (!milli) return std::nullopt;
    return static_cast<double>(*milli) / 1000;
  };
  // The charges stand at the conversion voltage: so does the current a time is worked out with.
  const std::optional<double> flow = p.currentFromPower && p.powerW && p.conversionVolts
                                         ? std::optional<double>(*p.powerW / *p.conversionVolts)
                                         : ampere(p.current);
  return {ampere(p.now), ampere(p.full), flow};
}

// Which packs are in, by name and serial, so that one put in for another under its name counts.
std::string packSet(const std::vector<BatteryPack>& packs) {
  std::string set;
  for (const BatteryPack& p : packs) set += p.name + "\n" + p.serial.value_or("") + "\n";
  return set;
}

// The charge limit, where every pack has the same.
std::optional<double> commonLimit(const std::vector<BatteryPack>& packs) {
  const auto& first = packs.front().threshold;
  if (!first || !std::all_of(packs.begin(), packs.end(),
                             [&](const BatteryPack& p) { return p.threshold == first; }))
    return std::nullopt;
  return static_cast<double>(*first);
}

// All packs together for the estimates: stores summed; the target of a charge each pack's own
// limit, one already above its limit holding what it holds; the limit a figure only where every
// pack has the same.
estimate::Reading combinedReading(const std::vector<BatteryPack>& packs, ExternalPower power,
                                  const Plist& status, StoreUnit unit) {
  estimate::Reading r;
  r.externalPower = power == ExternalPower::online;
  r.packs = packSet(packs);
  double now = 0, full = 0, flow = 0, target = 0;
  std::optional<double> watts;
  bool flows = false;
  r.storeFine = unit != StoreUnit::percent;
  for (const BatteryPack& p : packs) {
    // Every pack has its store in the unit chosen for all (unitOf), its level being known.
    const Store st = storeOf(p, unit);
    const bool coarse = unit == StoreUnit::ampereHours ? p.chargeFromPercent : p.energyFromPercent;
    r.storeFine = r.storeFine && !coarse;
    if (st.flow) flow += *st.flow, flows = true;
    if (p.powerW) watts = watts.value_or(0) + *p.powerW;
    now += *st.now;
    full += *st.full;
    const double limit = static_cast<double>(p.threshold.value_or(100)) / 100;
    target += std::max(*st.now, *st.full * limit);
  }
  r.energyWh = now, r.fullWh = full, r.targetWh = target;
  if (flows) r.powerW = flow;
  r.state = stateOf(status, power, unit == StoreUnit::percent ? watts.value_or(0) : flow, watts);
  r.limitPercent = commonLimit(packs);
  return r;
}

// The packs' power for the status, in W; none where the figures are in Ah.
std::optional<double> powerOf(const std::vector<BatteryPack>& packs, StoreUnit unit) {
  std::optional<double> watts;
  if (unit == StoreUnit::ampereHours) return watts;
  for (const BatteryPack& p : packs) {
    if (p.powerW) watts = watts.value_or(0) + *p.powerW;
  }
  return watts;
}

// The drivers' own percentages together, weighted by each pack's full charge.
std::optional<double> combinedPercent(const std::vector<BatteryPack>& packs) {
  if (packs.size() == 1) return packs[0].kernelPercent;
  double weighted = 0, weights = 0;
  for (const BatteryPack& p : packs) {
    if (!p.kernelPercent) return std::nullopt;
    const double weight = p.fullWh.value_or(static_cast<double>(p.full.value_or(0)));
    weighted += *p.kernelPercent * weight;
    weights += weight;
  }
  if (weights <= 0) return std::nullopt;
  return weighted / weights;
}

// What the status says of the packs whatever their level: current, voltage, temperature,
// cycles, the flags, maker and serial.
void setPackFigures(Plist& d, const std::vector<BatteryPack>& packs, ExternalPower power) {
  setInteger(d, key::kInstantAmperage, sumOf(packs, &BatteryPack::current));
  setInteger(d, key::kAmperage, sumOf(packs, &BatteryPack::current));
  setInteger(d, key::kVoltage, voltageOf(packs));
  setInteger(d, key::kTemperature, highestOf(packs, &BatteryPack::temperature));
  setInteger(d, key::kCycleCount, highestOf(packs, &BatteryPack::cycles));
  setFlags(d, packs, power);
  if (auto maker = joinedOf(packs, &BatteryPack::manufacturer)) {
    d.setItem(key::kManufacturer, Plist::string(std::move(*maker)));
  }
  if (auto serial = joinedOf(packs, &BatteryPack::serial)) {
    d.setItem(key::kSerial, Plist::string(std::move(*serial)));
  }
}

std::vector<BatteryPack> readPacks(const std::vector<PowerSupply>& supplies, ExternalPower power) {
  std::vector<BatteryPack> packs;
  for (const PowerSupply* b : systemBatteries(supplies))
    packs.push_back(readBatteryPack(*b, power));
  return packs;
}

}  // namespace

std::optional<SysfsReading> readSysfs(const std::vector<PowerSupply>& supplies,
                                      std::vector<std::string>* unknownLevel) {
  const ExternalPower power = externalPowerOf(supplies);
  std::vector<BatteryPack> packs = readPacks(supplies, power);
  if (packs.empty()) return std::nullopt;
  bool levelKnown = true;
  for (const BatteryPack& p : packs) {
    if (p.level) continue;
    levelKnown = false;
    if (unknownLevel) unknownLevel->push_back(p.name);
  }
  if (!levelKnown) return std::nullopt;
  onOneScale(packs);

  SysfsReading r;
  r.status = Plist::newDictionary();
  Plist& d = r.status;
  setInteger(d, key::kRawCurrentCapacity, sumOf(packs, &BatteryPack::now));
  setInteger(d, key::kRawMaxCapacity, sumOf(packs, &BatteryPack::full));
  setInteger(d, key::kDesignCapacity, sumOf(packs, &BatteryPack::design));
  setPackFigures(d, packs, power);
  const StoreUnit unit = unitOf(packs);
  r.estimate = combinedReading(packs, power, d, unit);
  r.powerW = powerOf(packs, unit);
  const auto batteries = systemBatteries(supplies);
  const bool energyGiven = std::all_of(
      batteries.begin(), batteries.end(),
      [](const PowerSupply* b) { return b->get("energy_now") && b->get("energy_full"); });
  if (unit == StoreUnit::wattHours && energyGiven) {
    r.energyWh = r.estimate.energyWh;
    r.fullWh = r.estimate.fullWh;
  }
  std::set<std::string> serials;
  for (const BatteryPack& p : packs) {
    if (p.percentScale || !p.design || !p.full) continue;
    // The wear is logged by serial; a driver that gives two packs the same one has them told
    // apart by name (the first keeps the plain serial its log already has).
    std::string serial = p.serial.value_or(p.name);
    if (!serials.insert(serial).second) serial += " (" + p.name + ")";
    r.packs.push_back(
        {p.model.value_or(""), serial, static_cast<int32_t>(*p.design),
         static_cast<int32_t>(*p.full),
         p.cycles ? std::optional<int32_t>(static_cast<int32_t>(*p.cycles)) : std::nullopt});
  }
  r.kernelPercent = combinedPercent(packs);
  // Several packs' percents together turn whenever any one does: no one driver's way to learn.
  if (packs.size() == 1) r.estimate.driverPercent = r.kernelPercent;
  return r;
}

void addHostFigures(const SysfsReading& r, const estimate::Times& times, Plist& d) {
  const auto minutes = [](std::optional<double> value) {
    return Plist::integer(value ? std::lround(*value) : brimwell::kUnknownMinutes);
  };
  if (r.kernelPercent)
    d.setItem(key::kCurrentCapacityPercent, Plist::integer(std::lround(*r.kernelPercent)));
  d.setItem(key::kAvgTimeToEmpty, minutes(times.toEmptyMinutes));
  d.setItem(key::kAvgTimeToFull, minutes(times.toFullMinutes));
  if (r.powerW) {
    d.setItem(key::kBatteryPower,
              Plist::integer(brimwell::saturatingTruncate(std::round(*r.powerW * 1000))));
  }
  const auto milli = [](double value) {
    return Plist::integer(brimwell::saturatingTruncate(std::round(value * 1000)));
  };
  if (r.energyWh && r.fullWh) {
    d.setItem(key::kBatteryEnergy, milli(*r.energyWh));
    d.setItem(key::kBatteryEnergyFull, milli(*r.fullWh));
  }
  if (r.estimate.limitPercent)
    d.setItem(key::kChargeLimit, Plist::integer(std::lround(*r.estimate.limitPercent)));
  d.setItem(key::kChargingState, Plist::string(estimate::stateWord(r.estimate.state)));
}

std::optional<Plist> coarseStatus(const std::vector<PowerSupply>& supplies) {
  const ExternalPower power = externalPowerOf(supplies);
  const std::vector<BatteryPack> packs = readPacks(supplies, power);
  if (packs.empty()) return std::nullopt;
  Plist d = Plist::newDictionary();
  setPackFigures(d, packs, power);
  // The lowest word the packs give: the one to heed. Beside a pack with a percent a word tells
  // nothing of the whole (a Critical pack beside one at 80 % is no critical battery).
  std::optional<int> word;
  for (const BatteryPack& p : packs) {
    if (p.level) {
      word.reset();
      break;
    }
    if (p.levelWord && (!word || *p.levelWord < *word)) word = p.levelWord;
  }
  d.setItem(key::kBatteryLevelWord,
            Plist::string(word ? brimwell::kLevelWords[*word] : brimwell::kUnknownLevelWord));
  const double current = static_cast<double>(sumOf(packs, &BatteryPack::current).value_or(0));
  const auto state = stateOf(d, power, current, powerOf(packs, StoreUnit::percent));
  d.setItem(key::kChargingState, Plist::string(estimate::stateWord(state)));
  if (const auto limit = commonLimit(packs))
    d.setItem(key::kChargeLimit, Plist::integer(std::lround(*limit)));
  return d;
}

std::optional<Plist> statusFromPowerSupplies(const std::vector<PowerSupply>& supplies,
                                             std::vector<std::string>* unknownLevel) {
  auto reading = readSysfs(supplies, unknownLevel);
  if (!reading) return std::nullopt;
  return std::move(reading->status);
}

bool fullOnceWaits(std::string_view keptText, const std::vector<PowerSupply>& supplies,
                   std::string_view bootId) {
  const auto kept = brimwell::charge::keptFromJson(keptText);
  if (!kept) return false;
  const auto batteries = systemBatteries(supplies);
  // One that holds its limit below 100 is not held by a full once, whatever a file the service
  // could not bring up to date says.
  return std::any_of(batteries.begin(), batteries.end(), [&](const PowerSupply* b) {
    const auto limit = b->get("charge_control_end_threshold");
    return brimwell::charge::fullOncePending(*kept, b->name, bootId) && (!limit || *limit == "100");
  });
}

}  // namespace host
