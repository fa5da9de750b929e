#pragma once

#include <memory>
#include <string>

#include "host/app/host_options.h"

namespace host {

// The device a run works on. The machine's own battery writes the user's own status file and
// reads their settings, in folders held to the private-folder rule. Without SIM_DEVICE_ROOT the
// simulated phone and recordings run on a simulated device of their own (kept in the user's
// cache), and a scenario on a fresh one removed at the end, so that none of them touches the
// user's status or settings; the folder is said on stderr, with how to watch it.
class RunDevice {
 public:
  // Null, with why, when the device cannot be made or its folders may not be used.
  static std::unique_ptr<RunDevice> prepare(const HostOptions& options, std::string& why);
  ~RunDevice();
  RunDevice(const RunDevice&) = delete;
  RunDevice& operator=(const RunDevice&) = delete;

 private:
  explicit RunDevice(std::string temporary) : temporary_(std::move(temporary)) {}
  std::string temporary_;  // removed at the end, when not empty
};

}  // namespace host
