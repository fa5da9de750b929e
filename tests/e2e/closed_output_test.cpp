// Output that cannot be written is a failure, and a closed standard output never lends its
// number to a file the program opens.
#include <gtest/gtest.h>

#include "tests/support/device_root.h"

namespace {

using testing_support::DeviceRoot;
using testing_support::runProcess;

TEST(ClosedOutput, IsAFailureAndNoFileTakesItsPlace) {
  DeviceRoot root;
  const std::string sim = SPRINGBOARD_SIM;
  const struct {
    std::string command;
    int exitCode;
  } cases[] = {
      {sim + " --help >/dev/full", 1},
      {std::string(BRIMWELLD) + " --version >/dev/full", 1},
      {std::string(BRIMWELLD) + " --version >&-", 1},
      {std::string(BRIMWELL_VIEWER) + " --version >/dev/full", 1},
      {std::string(BRIMWELL_PREFS) + " show >/dev/full", 1},
      {std::string(BRIMWELL_PREFS) + " show >&-", 1},
      {sim + " --virtual-time --duration 60 --log-status >&-", 1},
      {sim + " --virtual-time --duration 60 --log-status >/dev/null", 0},
  };
  for (const auto& c : cases) {
    const auto result =
        runProcess("/bin/sh", {"-c", c.command}, {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.command << "\n" << result.err;
  }
  // The lock file beside the status file holds the host's id and nothing it printed.
  EXPECT_EQ(root.read("/tmp/batteryStatus.plist.lock").find("status"), std::string::npos);
}

}  // namespace
