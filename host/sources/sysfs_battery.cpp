#include "host/sources/sysfs_battery.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "common/status_keys.h"
#include "common/utf8.h"

namespace host {
namespace {

using brimwell::Plist;
namespace key = brimwell::key;

// What is read of a battery, and of any other supply (a mains adapter, a USB port).
const char* const kBatteryAttributes[] = {"scope",
                                          "present",
                                          "status",
                                          "capacity",
                                          "charge_now",
                                          "charge_full",
                                          "charge_full_design",
                                          "energy_now",
                                          "energy_full",
                                          "energy_full_design",
                                          "voltage_now",
                                          "voltage_min_design",
                                          "current_now",
                                          "power_now",
                                          "temp",
                                          "cycle_count",
                                          "manufacturer",
                                          "serial_number",
                                          "charge_control_end_threshold"};
const char* const kOtherAttributes[] = {"online"};

// The first line of an attribute file in a folder; none when it cannot be read (EIO, ENODATA,
// ENODEV and EAGAIN from a busy driver, or a name that is not a file). Non-blocking, so that
// nothing in the folder can hang the host.
std::optional<std::string> readAttribute(int folder, const char* name) {
  const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  char buffer[4096];
  ssize_t n;
  do {
    n = ::read(fd, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n < 0) return std::nullopt;
  std::string line(buffer, static_cast<size_t>(n));
  line = line.substr(0, line.find('\n'));
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// The names in a folder, sorted, read straight from the kernel (getdents64 on the folder's own
// descriptor: a reading every half minute on a laptop, so no more system calls than needed).
std::vector<std::string> namesIn(int folder) {
  std::vector<std::string> names;
  if (::lseek(folder, 0, SEEK_SET) != 0) return names;
  alignas(8) char buffer[8192];
  for (ssize_t n; (n = ::getdents64(folder, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
      at += entry->d_reclen;
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// One supply's attributes: its type, then what is read of a supply of its kind, of those its
// folder has.
std::optional<PowerSupply> readSupply(int folder, const std::string& name) {
  const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const std::vector<std::string> present = namesIn(fd);
  PowerSupply supply{name, {}};
  const auto read = [&](const char* attribute) {
    if (!std::binary_search(present.begin(), present.end(), attribute)) return;
    if (auto line = readAttribute(fd, attribute)) supply.attributes[attribute] = std::move(*line);
  };
  read("type");
  if (supply.get("type") == std::optional<std::string>("Battery")) {
    for (const char* attribute : kBatteryAttributes) read(attribute);
  } else {
    for (const char* attribute : kOtherAttributes) read(attribute);
  }
  ::close(fd);
  if (!supply.get("type")) return std::nullopt;
  return supply;
}

// A whole number in a sysfs attribute; none when it is absent or not a number.
std::optional<long long> number(const PowerSupply& supply, const char* attribute) {
  const auto text = supply.get(attribute);
  if (!text || text->empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

long long rounded(double value) {
  return std::llround(value);
}

bool isExternalSupply(const PowerSupply& supply) {
  const auto type = supply.get("type");
  return type && *type != "Battery";
}

// One battery in the host's units: mAh, mA signed by the status, mV, hundredths of a degree.
struct Battery {
  std::optional<long long> now, full, design, current, voltage, temperature, cycles, threshold;
  std::optional<double> level;  // percent
  std::optional<std::string> status, manufacturer, serial;
};

// Capacities: µAh to mAh, or µWh through the design voltage (else the present one).
std::optional<long long> capacity(const PowerSupply& b, const char* charge, const char* energy) {
  if (const auto microampHours = number(b, charge)) return rounded(*microampHours / 1000.0);
  const auto designVoltage = number(b, "voltage_min_design");
  const auto voltage =
      designVoltage && *designVoltage > 0 ? designVoltage : number(b, "voltage_now");
  const auto microwattHours = number(b, energy);
  if (microwattHours && voltage && *voltage > 0) {
    return rounded(static_cast<double>(*microwattHours) / static_cast<double>(*voltage) * 1000.0);
  }
  return std::nullopt;
}

// The level in percent from `capacity` (a text that is not a number is 0, the rest clamped to
// 0-100, as upower reads it), else from the charge now of the full charge.
std::optional<double> levelOf(const PowerSupply& b, const Battery& values) {
  if (const auto text = b.get("capacity")) {
    char* end = nullptr;
    const double percent = std::strtod(text->c_str(), &end);
    if (end == text->c_str() || !std::isfinite(percent)) return 0.0;
    return std::clamp(percent, 0.0, 100.0);
  }
  if (values.now && values.full && *values.full > 0) {
    return 100.0 * static_cast<double>(*values.now) / static_cast<double>(*values.full);
  }
  return std::nullopt;
}

std::optional<std::string> cleanText(const PowerSupply& b, const char* attribute) {
  const auto text = b.get(attribute);
  if (!text) return std::nullopt;
  std::string clean = brimwell::printableUtf8(*text);
  return clean.empty() ? std::nullopt : std::optional<std::string>(std::move(clean));
}

Battery readBattery(const PowerSupply& b) {
  Battery v;
  v.status = b.get("status");
  v.now = capacity(b, "charge_now", "energy_now");
  v.full = capacity(b, "charge_full", "energy_full");
  v.design = capacity(b, "charge_full_design", "energy_full_design");
  v.level = levelOf(b, v);
  // Many drivers give the level only as a percentage beside the full charge.
  if (!v.now && v.full && v.level) v.now = rounded(*v.level / 100.0 * static_cast<double>(*v.full));

  // Drivers disagree on the sign of current_now, so the direction comes from the status.
  const auto voltageNow = number(b, "voltage_now");
  std::optional<long long> milliamps;
  if (const auto microamps = number(b, "current_now")) {
    milliamps = rounded(std::llabs(*microamps) / 1000.0);
  } else if (const auto microwatts = number(b, "power_now");
             microwatts && voltageNow && *voltageNow > 0) {
    milliamps = rounded(std::llabs(*microwatts) / static_cast<double>(*voltageNow) * 1000.0);
  }
  if (milliamps)
    v.current = v.status == std::optional<std::string>("Discharging") ? -*milliamps : *milliamps;
  if (voltageNow) v.voltage = rounded(*voltageNow / 1000.0);
  if (const auto tenths = number(b, "temp")) v.temperature = *tenths * 10;
  if (const auto cycles = number(b, "cycle_count"); cycles && *cycles > 0) v.cycles = cycles;
  if (const auto limit = number(b, "charge_control_end_threshold");
      limit && *limit > 0 && *limit <= 100) {
    v.threshold = limit;
  }
  v.manufacturer = cleanText(b, "manufacturer");
  v.serial = cleanText(b, "serial_number");
  return v;
}

// Held at the kernel's charge limit on external power, a battery reports "Not charging": it is
// full at its limit or up to 2 points below it, or without a limit at 90 % (as upower says).
bool heldFull(const Battery& b) {
  if (b.status != std::optional<std::string>("Not charging") || !b.level) return false;
  return *b.level >= (b.threshold ? static_cast<double>(*b.threshold) - 2.0 : 90.0);
}

bool isFull(const Battery& b) {
  return b.status == std::optional<std::string>("Full") || heldFull(b);
}

bool impliesSupply(const Battery& b) {
  return b.status == std::optional<std::string>("Charging") ||
         b.status == std::optional<std::string>("Full") ||
         b.status == std::optional<std::string>("Not charging");
}

// The sum of one value over every battery; none unless each gives it.
std::optional<long long> sumOf(const std::vector<Battery>& batteries,
                               std::optional<long long> Battery::*value) {
  long long sum = 0;
  for (const Battery& b : batteries) {
    if (!(b.*value)) return std::nullopt;
    sum += *(b.*value);
  }
  return sum;
}

// The largest of one value over the batteries that give it.
std::optional<long long> highestOf(const std::vector<Battery>& batteries,
                                   std::optional<long long> Battery::*value) {
  std::optional<long long> highest;
  for (const Battery& b : batteries) {
    if (b.*value && (!highest || *(b.*value) > *highest)) highest = b.*value;
  }
  return highest;
}

// The texts the batteries give, joined in name order.
std::optional<std::string> joinedOf(const std::vector<Battery>& batteries,
                                    std::optional<std::string> Battery::*text) {
  std::optional<std::string> joined;
  for (const Battery& b : batteries) {
    if (b.*text) joined = joined ? *joined + " / " + *(b.*text) : *(b.*text);
  }
  return joined;
}

// The voltage of the battery carrying the largest current; the first by name when none flows.
std::optional<long long> voltageOf(const std::vector<Battery>& batteries) {
  const Battery* carrying = &batteries.front();
  for (const Battery& b : batteries) {
    if (b.current && std::llabs(*b.current) > std::llabs(carrying->current.value_or(0))) {
      carrying = &b;
    }
  }
  return carrying->voltage;
}

void setInteger(Plist& d, const char* name, std::optional<long long> value) {
  if (value) d.setItem(name, Plist::integer(*value));
}

// The flags come from the statuses and the mains/USB supplies; without either they are unknown.
void setFlags(Plist& d, const std::vector<Battery>& batteries,
              const std::vector<PowerSupply>& supplies) {
  bool supplyKnown = false, supplyOnline = false;
  for (const PowerSupply& s : supplies) {
    if (!isExternalSupply(s) || !s.get("online")) continue;
    supplyKnown = true;
    supplyOnline = supplyOnline || s.get("online") == std::optional<std::string>("1");
  }
  const bool statusKnown = std::any_of(batteries.begin(), batteries.end(),
                                       [](const Battery& b) { return b.status.has_value(); });
  if (statusKnown) {
    d.setItem(key::kIsCharging,
              Plist::boolean(std::any_of(batteries.begin(), batteries.end(), [](const Battery& b) {
                return b.status == std::optional<std::string>("Charging");
              })));
    d.setItem(key::kFullyCharged,
              Plist::boolean(std::all_of(batteries.begin(), batteries.end(), isFull)));
  }
  if (!statusKnown && !supplyKnown) return;
  const bool connected =
      supplyOnline || std::any_of(batteries.begin(), batteries.end(), impliesSupply);
  // A battery that is not charging below its limit shows a source that cannot charge.
  const bool canCharge = std::any_of(batteries.begin(), batteries.end(), [](const Battery& b) {
    return b.status != std::optional<std::string>("Not charging") || heldFull(b);
  });
  d.setItem(key::kExternalConnected, Plist::boolean(connected));
  d.setItem(key::kExternalChargeCapable, Plist::boolean(connected && canCharge));
}

}  // namespace

std::optional<std::string> PowerSupply::get(const std::string& attribute) const {
  auto found = attributes.find(attribute);
  if (found == attributes.end()) return std::nullopt;
  return found->second;
}

std::vector<PowerSupply> readPowerSupplies(const std::string& folder) {
  std::vector<PowerSupply> supplies;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return supplies;
  for (const std::string& name : namesIn(fd)) {
    if (auto supply = readSupply(fd, name)) supplies.push_back(std::move(*supply));
  }
  ::close(fd);
  return supplies;
}

std::vector<const PowerSupply*> systemBatteries(const std::vector<PowerSupply>& supplies) {
  std::vector<const PowerSupply*> batteries;
  for (const PowerSupply& s : supplies) {
    // A mouse's or a phone's battery has scope Device; the laptop's own has none or System. A
    // pack taken out keeps its files with their last values, but says present 0.
    if (s.get("type") == std::optional<std::string>("Battery") &&
        s.get("scope") != std::optional<std::string>("Device") &&
        s.get("present") != std::optional<std::string>("0")) {
      batteries.push_back(&s);
    }
  }
  return batteries;
}

std::optional<Plist> statusFromPowerSupplies(const std::vector<PowerSupply>& supplies) {
  std::vector<Battery> batteries;
  for (const PowerSupply* b : systemBatteries(supplies)) batteries.push_back(readBattery(*b));
  if (batteries.empty()) return std::nullopt;
  Plist d = Plist::newDictionary();
  setInteger(d, key::kRawCurrentCapacity, sumOf(batteries, &Battery::now));
  setInteger(d, key::kRawMaxCapacity, sumOf(batteries, &Battery::full));
  setInteger(d, key::kDesignCapacity, sumOf(batteries, &Battery::design));
  setInteger(d, key::kInstantAmperage, sumOf(batteries, &Battery::current));
  setInteger(d, key::kAmperage, sumOf(batteries, &Battery::current));
  setInteger(d, key::kVoltage, voltageOf(batteries));
  setInteger(d, key::kTemperature, highestOf(batteries, &Battery::temperature));
  setInteger(d, key::kCycleCount, highestOf(batteries, &Battery::cycles));
  setFlags(d, batteries, supplies);
  if (auto maker = joinedOf(batteries, &Battery::manufacturer)) {
    d.setItem(key::kManufacturer, Plist::string(std::move(*maker)));
  }
  if (auto serial = joinedOf(batteries, &Battery::serial)) {
    d.setItem(key::kSerial, Plist::string(std::move(*serial)));
  }
  return d;
}

}  // namespace host
