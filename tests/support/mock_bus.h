#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/background_process.h"

namespace testing_support {

// A private D-Bus bus of its own and python3-dbusmock services on it, each logging the calls it
// receives ("<time> Method args...") to a file.
class MockBus {
 public:
  // A session bus, or one run by the given configuration file (a system bus's policies).
  explicit MockBus(const std::string& configFile = "");
  ~MockBus();
  MockBus(const MockBus&) = delete;
  MockBus& operator=(const MockBus&) = delete;
  // Empty when no bus could be started.
  const std::string& address() const { return address_; }
  // Starts a dbusmock template ("notification_daemon", "logind", "polkitd"), beside any started
  // before; false when its name did not appear. `system` puts it where DBUS_SYSTEM_BUS_ADDRESS
  // points sd-bus; `parameters`, a JSON object, are the template's ({"CanSuspend": "no"}).
  bool startTemplate(const std::string& name, const std::string& busName, bool system,
                     const std::string& parameters = "{}");
  // The calls logged so far, one a line, without their times.
  std::string calls() const;
  // Why mock services cannot run here (python3-dbusmock missing); none when they can.
  static std::optional<std::string> unavailable();

 private:
  std::unique_ptr<BackgroundProcess> daemon_;
  std::vector<std::unique_ptr<BackgroundProcess>> mocks_;
  std::string address_;
  std::string log_;
};

}  // namespace testing_support
