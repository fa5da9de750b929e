#include "host/sources/sysfs_source.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "host/sources/sysfs_battery.h"

namespace host {

SysfsSource::SysfsSource(std::string folder) : BatterySource(1), folder_(std::move(folder)) {
  // Kernel events exist only for the real folder; a copy of it is polled.
  if (folder_ != kDefaultFolder) return;
  uevents_ = socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
  if (uevents_ < 0) return;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = 1;  // the kernel's own announcements
  if (bind(uevents_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(uevents_);
    uevents_ = -1;
  }
}

SysfsSource::~SysfsSource() {
  if (uevents_ >= 0) close(uevents_);
}

bool SysfsSource::kernelAnnouncedChange() {
  if (uevents_ < 0) return false;
  bool powerSupply = false;
  char buffer[4096];
  for (;;) {
    const ssize_t n = recv(uevents_, buffer, sizeof buffer - 1, 0);
    if (n <= 0) break;
    buffer[n] = '\0';
    // The message is NUL-separated KEY=VALUE lines.
    for (const char* p = buffer; p < buffer + n; p += std::strlen(p) + 1) {
      if (std::strcmp(p, "SUBSYSTEM=power_supply") == 0) powerSupply = true;
    }
  }
  return powerSupply;
}

std::optional<brimwell::Plist> SysfsSource::tick(double realSeconds) {
  elapsed_ += realSeconds;
  sincePoll_ += realSeconds;
  if (!kernelAnnouncedChange() && sincePoll_ < kPollInterval) return std::nullopt;
  sincePoll_ = 0;

  const std::vector<PowerSupply> supplies = readPowerSupplies(folder_);
  std::optional<brimwell::Plist> status = statusFromPowerSupplies(supplies);
  const bool hasBattery = status.has_value();
  if (hadBattery_ != hasBattery) {
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
  if (!status) return std::nullopt;
  std::string xml = status->toXml();
  if (xml == lastDelivered_) return std::nullopt;
  lastDelivered_ = std::move(xml);
  return status;
}

std::vector<std::string> SysfsSource::takeNotices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

}  // namespace host
