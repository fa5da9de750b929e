#include "host/sources/sysfs_battery.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

}  // namespace

// A supply's `online`: 0 offline, 1 online, 2 a programmable supply online; anything else
// says nothing.
std::optional<bool> online(const PowerSupply& supply) {
  const auto text = supply.get("online");
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (*end != '\0' || value < 0) return std::nullopt;
  return value > 0;
}

ExternalPower externalPowerOf(const std::vector<PowerSupply>& supplies) {
  ExternalPower power = ExternalPower::unknown;
  for (const PowerSupply& s : supplies) {
    if (s.is("type", "Battery") || s.is("scope", "Device")) continue;
    const auto on = online(s);
    if (on == true) return ExternalPower::online;
    if (on == false) power = ExternalPower::offline;
  }
  if (power != ExternalPower::unknown) return power;
  // No supply says: a charging pack has power, a draining one has none, and one that is full
  // or held at its limit sits on the charger.
  const auto batteries = systemBatteries(supplies);
  const auto any = [&](const char* status) {
    return std::any_of(batteries.begin(), batteries.end(),
                       [&](const PowerSupply* b) { return b->is("status", status); });
  };
  if (any("Charging")) return ExternalPower::online;
  if (any("Discharging")) return ExternalPower::offline;
  if (any("Full") || any("Not charging")) return ExternalPower::online;
  return ExternalPower::unknown;
}

std::vector<const PowerSupply*> systemBatteries(const std::vector<PowerSupply>& supplies) {
  std::vector<const PowerSupply*> batteries;
  for (const PowerSupply& s : supplies) {
    // A mouse's or a phone's battery has scope Device; the laptop's own has none or System. A
    // pack taken out keeps its files with their last values, but says present 0.
    if (s.is("type", "Battery") && !s.is("scope", "Device") && !s.is("present", "0")) {
      batteries.push_back(&s);
    }
  }
  return batteries;
}

std::optional<Plist> statusFromPowerSupplies(const std::vector<PowerSupply>& supplies,
                                             std::vector<std::string>* unknownLevel) {
  const ExternalPower power = externalPowerOf(supplies);
  std::vector<BatteryPack> packs;
  for (const PowerSupply* b : systemBatteries(supplies))
    packs.push_back(readBatteryPack(*b, power));
  if (packs.empty()) return std::nullopt;
  bool levelKnown = true;
  for (const BatteryPack& p : packs) {
    if (p.level) continue;
    levelKnown = false;
    if (unknownLevel) unknownLevel->push_back(p.name);
  }
  if (!levelKnown) return std::nullopt;
  onOneScale(packs);

  Plist d = Plist::newDictionary();
  setInteger(d, key::kRawCurrentCapacity, sumOf(packs, &BatteryPack::now));
  setInteger(d, key::kRawMaxCapacity, sumOf(packs, &BatteryPack::full));
  setInteger(d, key::kDesignCapacity, sumOf(packs, &BatteryPack::design));
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
  return d;
}

}  // namespace host
