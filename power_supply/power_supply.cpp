#include "power_supply/power_supply.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace power_supply {
namespace {

// What is read of a battery (the machine's own, or a device's of any type: a pen's says USB),
// and of any other supply (a mains adapter, a USB port).
const char* const kBatteryAttributes[] = {"present",
                                          "online",
                                          "status",
                                          "capacity",
                                          "capacity_level",
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
                                          "model_name",
                                          "charge_control_end_threshold",
                                          "charge_control_start_threshold"};
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

// One supply's attributes: its type and scope, then what is read of a supply of its kind, of those
// its folder has.
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
  read("scope");
  if (supply.is("type", "Battery") || supply.is("scope", "Device")) {
    for (const char* attribute : kBatteryAttributes) read(attribute);
  } else {
    for (const char* attribute : kOtherAttributes) read(attribute);
  }
  ::close(fd);
  if (!supply.get("type")) return std::nullopt;
  return supply;
}

}  // namespace

std::optional<std::string> PowerSupply::get(const std::string& attribute) const {
  auto found = attributes.find(attribute);
  if (found == attributes.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> folderProblem(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return std::nullopt;
  }
  const int error = errno;
  const std::string name = "the power-supply folder " + folder;
  if (error == ENOENT) return name + " does not exist";
  if (error == ENOTDIR) return name + " is not a folder";
  return "cannot read " + name + ": " + std::strerror(error);
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

std::optional<std::string> firstLineOf(const std::string& path) {
  return readAttribute(AT_FDCWD, path.c_str());
}

}  // namespace power_supply
