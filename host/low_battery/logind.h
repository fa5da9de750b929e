#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/low_battery/low_battery_policy.h"

namespace host::low_battery {

// Asks systemd-logind on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the system's) to suspend,
// hibernate, hybrid-sleep or power off, after its Can... method says "yes"; never through a
// shell. False, with why, when the bus, logind or the answer says no. Each call is bounded, so
// a bus that does not answer cannot hang the host.
bool askLogind(Action action, std::string& why);

// askLogind on a thread of its own: sd-bus bounds each call, but not the greeting of a bus that
// takes the connection and never answers (90 s), which must not hold the host. The answer comes
// through a descriptor the host's run loop watches.
class LogindRequest {
 public:
  LogindRequest();
  ~LogindRequest();  // a request still waiting is left to end with the process
  LogindRequest(const LogindRequest&) = delete;
  LogindRequest& operator=(const LogindRequest&) = delete;

  void start(Action action);
  // Readable once the answer is there; -1 when none can be had (the answer then comes at once).
  int descriptor() const;
  // Waits at most the given time for the answer (0: does not wait).
  bool wait(double seconds) const;
  // The answer, once there: none while it is awaited; true when done, else false with why.
  std::optional<bool> answer(std::string& why);
  bool waiting() const { return started_ && !taken_; }

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  bool started_ = false, taken_ = false;
};

}  // namespace host::low_battery
