#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace host::low_battery {

// The user's own command line, run through /bin/sh -c in a session of its own, its input from
// /dev/null, so that it outlives nothing of the host and never blocks it. Its output goes to the
// journal under its own name, never into the host's: a command that prints megabytes must not
// fill the host's terminal or its lines in the journal.
class CommandAction {
 public:
  // The journal's name for the command's output.
  static constexpr const char* kJournalName = "brimwell-command";
  // Starts it; false, with why, when it could not be started. `output` says where its output
  // goes.
  bool start(const std::string& commandLine, std::string& output, std::string& why);
  // A descriptor that becomes readable when the command has ended (-1 when it cannot be had:
  // then ask finished() now and then).
  int endDescriptor() const { return pidfd_; }
  // How a command that has ended ended ("exit status 0", "killed by signal 9"), and whether
  // that was a success. Does not wait: none while it still runs.
  struct Ending {
    std::string how;
    bool succeeded;
  };
  std::optional<Ending> finished();
  bool running() const { return pid_ > 0; }
  ~CommandAction();

 private:
  pid_t pid_ = -1;
  int pidfd_ = -1;
};

}  // namespace host::low_battery
