#include "charge/service/power_supply_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "power_supply/external_power.h"

namespace brimwell::charge {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The class folder's entries are the kernel's links to each device: followed once, by a name
// already checked to hold no slash and no dots alone, as a caller could send it.
int openSupply(const std::string& root, const std::string& name) {
  if (!isBatteryName(name)) return -1;
  return ::open((root + "/" + name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// A threshold as a whole percent; none for anything a driver could not hold.
std::optional<int> percentOf(const std::optional<std::string>& word) {
  if (!word || word->empty() || word->size() > 3) return std::nullopt;
  int value = 0;
  for (char c : *word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value <= 100 ? std::optional<int>(value) : std::nullopt;
}

std::string says(const ThresholdWrite& w, const std::string& what) {
  return w.battery + " " + what + " " + std::to_string(w.value) + " as its " +
         (w.threshold == Threshold::End ? "charge limit" : "charge start") + " (" +
         attributeName(w.threshold) + ")";
}

}  // namespace

std::vector<BatteryThresholds> PowerSupplyFolder::batteries() const {
  std::vector<BatteryThresholds> out;
  const auto supplies = power_supply::readPowerSupplies(root_);
  for (const power_supply::PowerSupply* b : power_supply::systemBatteries(supplies)) {
    // A battery whose name no caller could send is one the service never writes.
    if (!isBatteryName(b->name)) continue;
    out.push_back({b->name, percentOf(b->get(attributeName(Threshold::End))),
                   percentOf(b->get(attributeName(Threshold::Start)))});
  }
  return out;
}

bool PowerSupplyFolder::externalPower() const {
  // Where nothing says, as if it were: a full once then waits for the charger to be seen to go.
  return power_supply::externalPowerOf(power_supply::readPowerSupplies(root_)) !=
         power_supply::ExternalPower::offline;
}

std::string PowerSupplyFolder::whyNotWritable(const ThresholdWrite& w) const {
  const Fd dir(openSupply(root_, w.battery));
  if (dir.get() < 0) return "no system battery is named " + w.battery;
  if (::faccessat(dir.get(), attributeName(w.threshold), W_OK, AT_EACCESS) != 0) {
    return w.battery + "'s " + attributeName(w.threshold) +
           " cannot be written: " + std::strerror(errno);
  }
  return {};
}

std::string PowerSupplyFolder::write(const ThresholdWrite& w) const {
  const Fd dir(openSupply(root_, w.battery));
  if (dir.get() < 0) return "no system battery is named " + w.battery;
  const Fd fd(::openat(dir.get(), attributeName(w.threshold),
                       O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return says(w, "cannot take") + ": " + std::strerror(fd.get() < 0 ? errno : EINVAL);
  }
  const std::string text = std::to_string(w.value) + "\n";
  const ssize_t n = ::write(fd.get(), text.data(), text.size());
  if (n != static_cast<ssize_t>(text.size())) {
    return says(w, "refused") + ": " + std::strerror(n < 0 ? errno : EIO);
  }
  return {};
}

}  // namespace brimwell::charge
