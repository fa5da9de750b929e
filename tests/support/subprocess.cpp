#include "tests/support/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace testing_support {

SpawnVectors spawnVectors(const std::string& program, const std::vector<std::string>& args,
                          const std::map<std::string, std::optional<std::string>>& env) {
  SpawnVectors v;
  v.strings.push_back(program);
  v.strings.insert(v.strings.end(), args.begin(), args.end());
  const size_t argc = v.strings.size();
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (env.count(entry.substr(0, entry.find('='))) == 0) v.strings.push_back(entry);
  }
  for (const auto& [name, value] : env) {
    if (value) v.strings.push_back(name + "=" + *value);
  }
  const char* const kSystemBus = "DBUS_SYSTEM_BUS_ADDRESS";
  if (!env.count(kSystemBus) && !std::getenv(kSystemBus)) {
    v.strings.push_back(std::string(kSystemBus) + "=" + kNoSystemBus);
  }
  for (size_t i = 0; i < v.strings.size(); ++i) {
    (i < argc ? v.argv : v.envp).push_back(v.strings[i].data());
  }
  v.argv.push_back(nullptr);
  v.envp.push_back(nullptr);
  return v;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env,
                         const std::string& input) {
  SpawnVectors vectors = spawnVectors(program, args, env);

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  pid_t pid;
  const int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, vectors.argv.data(),
                                   vectors.envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) throw std::runtime_error("cannot start " + program + ": " + strerror(spawned));

  ProcessResult result;
  size_t written = 0;
  int inFd = in[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  } else {
    fcntl(inFd, F_SETFL, O_NONBLOCK);
  }
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    poll(fds, inFd >= 0 ? 3 : 2, -1);
    char buffer[4096];
    if (fds[0].revents) {
      const ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n > 0)
        result.out.append(buffer, n);
      else
        outOpen = false;
    }
    if (fds[1].revents) {
      const ssize_t n = read(err[0], buffer, sizeof buffer);
      if (n > 0)
        result.err.append(buffer, n);
      else
        errOpen = false;
    }
    if (inFd >= 0 && fds[2].revents) {
      const ssize_t n = write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += n;
      if (n < 0 || written == input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ProcessResult runOnTerminal(const std::string& program, const std::vector<std::string>& args,
                            const std::map<std::string, std::optional<std::string>>& env,
                            unsigned short columns, unsigned short rows, double timeoutSeconds,
                            const std::string& keys) {
  SpawnVectors vectors = spawnVectors(program, args, env);
  winsize size{};
  size.ws_col = columns;
  size.ws_row = rows;
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) {
    execve(program.c_str(), vectors.argv.data(), vectors.envp.data());
    _exit(127);
  }
  ProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(timeoutSeconds));
  bool typed = keys.empty();
  auto typeAt = deadline;  // half a second after it first drew
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (!typed && now >= typeAt) {
      if (write(terminal, keys.data(), keys.size()) < 0) break;
      typed = true;
    }
    pollfd fd{terminal, POLLIN, 0};
    const int wait = typed ? static_cast<int>(left.count()) : 50;
    if (poll(&fd, 1, std::min(wait, static_cast<int>(left.count()))) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the program and its children have closed the terminal
    if (result.out.empty()) typeAt = now + std::chrono::milliseconds(500);
    result.out.append(buffer, static_cast<size_t>(n));
  }
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace testing_support
