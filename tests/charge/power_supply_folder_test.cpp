#include "charge/service/power_supply_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "charge/charge_bus.h"
#include "charge/service/charge_keeper.h"
#include "tests/support/power_supply_fixture.h"
#include "tests/support/subprocess.h"

namespace brimwell::charge {
namespace {

// A state folder that takes nothing: what was set holds, the failure is said once, and the file
// is tried again until it takes what was set.
TEST(ChargeKeeper, WhatTheKeptFileCouldNotTakeIsTriedAgain) {
  testing_support::TempDir dir;
  testing_support::writeSupply(dir, "ps", "AC", testing_support::mainsAdapter(true));
  testing_support::writeSupply(dir, "ps", "BAT0",
                               {{"type", "Battery"}, {"charge_control_end_threshold", "100"}});
  std::string log;
  ChargeKeeper keeper(PowerSupplyFolder(dir.path() + "/ps"), dir.path(), "b1",
                      [&](const std::string& line) { log += line + "\n"; });
  ASSERT_EQ(keeper.setLimits({"", 80, std::nullopt}, "one").errorName, nullptr);
  const std::string blocker = dir.path() + "/charge-limits.json.new";
  ASSERT_EQ(::mkdir(blocker.c_str(), 0755), 0);
  EXPECT_STREQ(keeper.setLimits({"", 60, std::nullopt}, "one").errorName, kErrorNotKept);
  EXPECT_FALSE(keeper.keepUnsaved());
  keeper.putBack("woke");
  EXPECT_EQ(dir.read("ps/BAT0/charge_control_end_threshold"), "60\n");
  EXPECT_NE(dir.read("charge-limits.json").find("\"end\": 80"), std::string::npos);
  ASSERT_EQ(::rmdir(blocker.c_str()), 0);
  EXPECT_TRUE(keeper.keepUnsaved());
  EXPECT_NE(dir.read("charge-limits.json").find("\"end\": 60"), std::string::npos);
  EXPECT_TRUE(keeper.keepUnsaved());
  EXPECT_EQ(log,
            "set by one: BAT0 limit 100 -> 80\n"
            "set by one: BAT0 limit 80 -> 60\n"
            "set by one: cannot write " +
                blocker +
                ": Is a directory; what is set holds until the next boot\n"
                "tried again: kept in " +
                dir.path() + "/charge-limits.json again\n");
}

// A battery that comes back has its own limit put back; another's, set by hand, holds.
TEST(ChargeKeeper, ABatteryThatArrivesAloneIsPutBack) {
  testing_support::TempDir dir;
  testing_support::writeSupply(dir, "ps", "AC", testing_support::mainsAdapter(true));
  for (const char* name : {"BAT0", "BAT1"}) {
    testing_support::writeSupply(dir, "ps", name,
                                 {{"type", "Battery"}, {"charge_control_end_threshold", "100"}});
  }
  ChargeKeeper keeper(PowerSupplyFolder(dir.path() + "/ps"), dir.path(), "b1",
                      [](const std::string&) {});
  ASSERT_EQ(keeper.setLimits({"", 80, std::nullopt}, "one").errorName, nullptr);
  keeper.putBack("started");
  testing_support::runProcess("/bin/rm", {"-r", dir.path() + "/ps/BAT0"});
  keeper.suppliesChanged();
  testing_support::writeSupply(dir, "ps", "BAT0",
                               {{"type", "Battery"}, {"charge_control_end_threshold", "100"}});
  dir.write("ps/BAT1/charge_control_end_threshold", "90\n");
  keeper.suppliesChanged();
  EXPECT_EQ(dir.read("ps/BAT0/charge_control_end_threshold"), "80\n");
  EXPECT_EQ(dir.read("ps/BAT1/charge_control_end_threshold"), "90\n");
}

}  // namespace
}  // namespace brimwell::charge
