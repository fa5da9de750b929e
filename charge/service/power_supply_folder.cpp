#include "charge/service/power_supply_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "charge/supply_online.h"

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
// already checked to hold no slash and no dots alone.
int openEntry(const std::string& root, const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return -1;
  return ::open((root + "/" + name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// A battery is only ever one a caller could name (a USB-C port's supply, such as
// ucsi-source-psy-USBC000:001, is read for external power but never written).
int openSupply(const std::string& root, const std::string& name) {
  return isBatteryName(name) ? openEntry(root, name) : -1;
}

std::optional<std::string> readWord(int dir, const char* attribute) {
  const Fd fd(::openat(dir, attribute, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
  char buffer[64];
  const ssize_t n = ::read(fd.get(), buffer, sizeof buffer - 1);
  if (n < 0) return std::nullopt;
  std::string word(buffer, static_cast<size_t>(n));
  while (!word.empty() && (word.back() == '\n' || word.back() == ' ')) word.pop_back();
  return word;
}

std::optional<int> readPercent(int dir, const char* attribute) {
  const auto word = readWord(dir, attribute);
  if (!word || word->empty() || word->size() > 3) return std::nullopt;
  int value = 0;
  for (char c : *word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value <= 100 ? std::optional<int>(value) : std::nullopt;
}

bool systemScope(int dir) {
  const auto scope = readWord(dir, "scope");
  return !scope || *scope == "System" || *scope == "Unknown";
}

template <typename Visit>
void eachSupply(const std::string& root, Visit visit) {
  DIR* folder = ::opendir(root.c_str());
  if (!folder) return;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    const Fd dir(openEntry(root, name));
    if (dir.get() < 0 || !systemScope(dir.get())) continue;
    visit(name, dir.get(), readWord(dir.get(), "type").value_or(""));
  }
  ::closedir(folder);
}

std::string says(const ThresholdWrite& w, const std::string& what) {
  return w.battery + " " + what + " " + std::to_string(w.value) + " as its " +
         (w.threshold == Threshold::End ? "charge limit" : "charge start") + " (" +
         attributeName(w.threshold) + ")";
}

}  // namespace

std::vector<BatteryThresholds> PowerSupplyFolder::batteries() const {
  std::vector<BatteryThresholds> out;
  eachSupply(root_, [&](const std::string& name, int dir, const std::string& type) {
    if (type != "Battery" || !isBatteryName(name)) return;
    out.push_back({name, readPercent(dir, attributeName(Threshold::End)),
                   readPercent(dir, attributeName(Threshold::Start))});
  });
  std::sort(out.begin(), out.end(),
            [](const BatteryThresholds& a, const BatteryThresholds& b) { return a.name < b.name; });
  return out;
}

bool PowerSupplyFolder::externalPower() const {
  bool anySupply = false, online = false, discharging = false;
  eachSupply(root_, [&](const std::string&, int dir, const std::string& type) {
    if (type == "Battery") {
      discharging = discharging || readWord(dir, "status").value_or("") == "Discharging";
    } else if (const auto state = onlineSays(readWord(dir, "online").value_or(""))) {
      anySupply = true;
      online = online || *state;
    }
  });
  return anySupply ? online : !discharging;
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
