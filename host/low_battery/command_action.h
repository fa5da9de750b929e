#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace host::low_battery {

// The user's own command line, run through /bin/sh -c in a session of its own, its input from
// /dev/null, so that it outlives nothing of the host and never blocks it.
class CommandAction {
 public:
  // Starts it; false, with why, when it could not be started.
  bool start(const std::string& commandLine, std::string& why);
  // A descriptor that becomes readable when the command has ended (-1 when it cannot be had:
  // then ask finished() now and then).
  int endDescriptor() const { return pidfd_; }
  // Once the command has ended: none when it succeeded, else how it failed ("exit status 3",
  // "killed by signal 9"). Does not wait: nothing while it still runs.
  bool finished(std::optional<std::string>& failure);
  bool running() const { return pid_ > 0; }
  ~CommandAction();

 private:
  pid_t pid_ = -1;
  int pidfd_ = -1;
};

}  // namespace host::low_battery
