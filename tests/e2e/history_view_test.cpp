// The built viewer on the battery's history: --history, --health and the graph screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::runProcess;
using testing_support::TempDir;

TEST(HistoryView, CommandLineAndNoHistoryYet) {
  TempDir root;
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out, err;  // err "?": one line, whatever it says
  } cases[] = {
      {{"--history"},
       0,
       "time,level,power_W,state,time_to_empty_min,time_to_full_min\n",
       "no history yet\n"},
      {{"--history", "--json", "--since", "24h"}, 0, "[]\n", "no history yet\n"},
      {{"--health", "--format", "json"}, 0, "[]\n", "no history yet\n"},
      {{"--health"},
       0,
       "date,full_charge_capacity_mAh,design_capacity_mAh,health,cycle_count,serial\n",
       "no history yet\n"},
      {{"--history", "--since", "1w"}, 2, "", "?"},
      {{"--history", "--since=0d"}, 2, "", "?"},
      {{"--history", "--since"}, 2, "", "?"},
      {{"--since", "7d"}, 2, "", "?"},
      {{"--health", "--since", "7d"}, 2, "", "?"},
      {{"--history", "--health"}, 2, "", "?"},
      {{"--history", "--follow"}, 2, "", "?"},
      {{"--history", "--once"}, 2, "", "?"},
      {{"--history", "--format", "waybar"}, 2, "", "?"},
  };
  for (const auto& c : cases) {
    const auto result = runProcess(BRIMWELL_VIEWER, c.args, {{"SIM_DEVICE_ROOT", root.path()}});
    const std::string name = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
    EXPECT_EQ(result.exitCode, c.exitCode) << name;
    EXPECT_EQ(result.out, c.out) << name;
    if (c.err == "?") {
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    } else {
      EXPECT_EQ(result.err, c.err) << name;
    }
  }
}

}  // namespace
