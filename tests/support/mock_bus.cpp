#include "tests/support/mock_bus.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

constexpr const char* kPython = "/usr/bin/python3";  // dbusmock is Debian's, for its own python

}  // namespace

MockBus::MockBus(const std::string& configFile)
    : daemon_(std::make_unique<BackgroundProcess>(
          "/usr/bin/dbus-daemon",
          std::vector<std::string>{configFile.empty() ? "--session" : "--config-file=" + configFile,
                                   "--nofork", "--nopidfile", "--print-address=1"})) {
  address_ = daemon_->readLine(5000).value_or("");
  char pattern[] = "/tmp/brimwell-mock-XXXXXX";
  const int fd = ::mkstemp(pattern);
  if (fd >= 0) ::close(fd);
  log_ = pattern;
}

MockBus::~MockBus() {
  mocks_.clear();
  daemon_.reset();
  ::unlink(log_.c_str());
}

bool MockBus::startTemplate(const std::string& name, const std::string& busName, bool system,
                            const std::string& parameters) {
  if (address_.empty()) return false;
  const char* variable = system ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS";
  mocks_.push_back(std::make_unique<BackgroundProcess>(
      kPython,
      std::vector<std::string>{"-m", "dbusmock", system ? "--system" : "--session", "-t", name,
                               "-l", log_, "-p", parameters},
      std::map<std::string, std::string>{{variable, address_}}));
  // Ready once its name has an owner.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto answer = runProcess(
        "/usr/bin/dbus-send",
        {"--bus=" + address_, "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + busName});
    if (answer.out.find("boolean true") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::string MockBus::calls() const {
  std::istringstream lines(readFile(log_));
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    out += line.substr(line.find(' ') + 1) + "\n";
  }
  return out;
}

std::optional<std::string> MockBus::unavailable() {
  const auto probe = runProcess(kPython, {"-c", "import dbusmock"});
  if (probe.exitCode != 0) return "python3-dbusmock is not installed for " + std::string(kPython);
  return std::nullopt;
}

}  // namespace testing_support
