#pragma once

#include <string>
#include <thread>

namespace testing_support {

// A socket where a bus would be that takes connections and never says a word; `hangUp` closes
// the first a moment after it came, as a bus that goes away does.
class SilentBus {
 public:
  explicit SilentBus(const std::string& path, bool hangUp = false);
  ~SilentBus();
  SilentBus(const SilentBus&) = delete;
  SilentBus& operator=(const SilentBus&) = delete;
  // The address to give DBUS_SYSTEM_BUS_ADDRESS or DBUS_SESSION_BUS_ADDRESS.
  const std::string& address() const { return address_; }

 private:
  int fd_;
  std::string address_;
  std::thread closer_;
};

}  // namespace testing_support
