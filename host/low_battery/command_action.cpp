#include "host/low_battery/command_action.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace host::low_battery {

bool CommandAction::start(const std::string& commandLine, std::string& why) {
  posix_spawn_file_actions_t files;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_init(&attributes);
  // A session of its own: the terminal's Ctrl-C or the service's stop does not reach it.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  const char* argv[] = {"/bin/sh", "-c", commandLine.c_str(), nullptr};
  pid_t pid = -1;
  const int error =
      posix_spawn(&pid, "/bin/sh", &files, &attributes, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    why = std::string("cannot run /bin/sh: ") + std::strerror(error);
    return false;
  }
  pid_ = pid;
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  return true;
}

bool CommandAction::finished(std::optional<std::string>& failure) {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = -1;
  if (pidfd_ >= 0) ::close(pidfd_);
  pidfd_ = -1;
  failure.reset();
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    failure = "exit status " + std::to_string(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    failure = "killed by signal " + std::to_string(WTERMSIG(status));
  }
  return true;
}

CommandAction::~CommandAction() {
  // A command still running is left to run; only the descriptor is ours.
  if (pidfd_ >= 0) ::close(pidfd_);
}

}  // namespace host::low_battery
