#include "host/low_battery/command_action.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace host::low_battery {

bool CommandAction::start(const std::string& commandLine, std::string& output, std::string& why) {
  posix_spawn_file_actions_t files;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // The journal bounds what it keeps of a stream; with no journal the output is dropped rather
  // than kept in a file that grows with whatever the command prints.
  const int journal = sd_journal_stream_fd(kJournalName, LOG_INFO, 0);
  if (journal >= 0) {
    posix_spawn_file_actions_adddup2(&files, journal, STDOUT_FILENO);
    output = std::string("the journal as ") + kJournalName;
  } else {
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    output = std::string("/dev/null, as there is no journal (") + std::strerror(-journal) + ")";
  }
  posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
  posix_spawnattr_init(&attributes);
  // A session of its own: the terminal's Ctrl-C or the service's stop does not reach it.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  const char* argv[] = {"/bin/sh", "-c", commandLine.c_str(), nullptr};
  pid_t pid = -1;
  const int error =
      posix_spawn(&pid, "/bin/sh", &files, &attributes, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  if (journal >= 0) ::close(journal);
  if (error != 0) {
    why = std::string("cannot run /bin/sh: ") + std::strerror(error);
    return false;
  }
  pid_ = pid;
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  return true;
}

std::optional<CommandAction::Ending> CommandAction::finished() {
  if (pid_ <= 0) return std::nullopt;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return std::nullopt;
  pid_ = -1;
  if (pidfd_ >= 0) ::close(pidfd_);
  pidfd_ = -1;
  if (WIFSIGNALED(status)) {
    return Ending{"killed by signal " + std::to_string(WTERMSIG(status)), false};
  }
  return Ending{"exit status " + std::to_string(WEXITSTATUS(status)), WEXITSTATUS(status) == 0};
}

CommandAction::~CommandAction() {
  // A command still running is left to run; only the descriptor is ours.
  if (pidfd_ >= 0) ::close(pidfd_);
}

}  // namespace host::low_battery
