#include "tests/support/background_process.h"

#include "tests/support/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testing_support {

BackgroundProcess::BackgroundProcess(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const std::map<std::string, std::string>& env) {
  std::map<std::string, std::optional<std::string>> overrides(env.begin(), env.end());
  SpawnVectors vectors = spawnVectors(program, args, overrides);

  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, vectors.argv.data(),
                                  vectors.envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  out_ = pipeEnds[0];
  if (spawned != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + program);
  }
}

BackgroundProcess::~BackgroundProcess() {
  stop();
}

std::optional<std::string> BackgroundProcess::readLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return std::nullopt;
    pollfd fd{out_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

int BackgroundProcess::wait() {
  int status = 0;
  if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string BackgroundProcess::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (out_ >= 0) {
    char chunk[4096];
    ssize_t n;
    while ((n = read(out_, chunk, sizeof chunk)) > 0) buffer_.append(chunk, static_cast<size_t>(n));
    close(out_);
    out_ = -1;
  }
  std::string rest;
  rest.swap(buffer_);
  return rest;
}

}  // namespace testing_support
