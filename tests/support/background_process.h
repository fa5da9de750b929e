#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A program that runs beside a test (a bus daemon, a fake server) and is ended with it.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env = {});
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // The next line of its output, waiting at most the given time.
  std::optional<std::string> readLine(int timeoutMs);
  int pid() const { return pid_; }
  // Waits for it to end by itself: its exit status, -1 when a signal ended it.
  int wait();
  // Ends it and gives whatever else it printed.
  std::string stop();

 private:
  int pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

}  // namespace testing_support
