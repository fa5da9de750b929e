#include "charge/charge_request.h"

#include <gtest/gtest.h>

namespace brimwell::charge {
namespace {

// Every caller is a stranger: names that could reach outside the folder, and values the kernel
// would take but the user never meant, are refused before anything is looked up.
TEST(ChargeRequest, WhatACallerMayAsk) {
  const struct {
    const char* name;
    std::string battery;
    uint32_t end, start;
    const char* refusal;  // empty: taken
    std::optional<int> takenStart = std::nullopt;
    std::optional<int> takenEnd = std::nullopt;
  } rows[] = {
      {"a limit", "BAT0", 80, 0, "", std::nullopt, 80},
      {"a limit and a start", "BAT0", 80, 75, "", 75, 80},
      {"the edges", "macsmc-battery", 100, 99, "", 99, 100},
      {"the lowest limit", "hidpp_battery.0", 1, 0, "", std::nullopt, 1},
      {"every battery", "", 80, 0, "", std::nullopt, 80},
      {"a start alone", "", 0, 75, "", 75},
      {"nothing asked", "BAT0", 0, 0, "neither a charge limit nor a start was given"},
      {"above 100", "BAT0", 101, 0, "the charge limit is a whole percent from 1 to 100, not 101"},
      {"a start of 100", "BAT0", 0, 100,
       "charging starts again at a whole percent from 1 to 99, not 100"},
      {"a start at the limit", "BAT0", 80, 80,
       "charging starts again below the limit: 80 is not below 80"},
      {"a start far above it", "BAT0", 80, 4000000000u,
       "charging starts again at a whole percent from 1 to 99, not 4000000000"},
      {"a slash", "../../etc", 80, 0, "no battery is named so"},
      {"dots", "..", 80, 0, "no battery is named so"},
      {"a dot", ".", 80, 0, "no battery is named so"},
      {"a newline", "BAT0\n", 80, 0, "no battery is named so"},
      {"a NUL inside", std::string("BAT0\0x", 6), 80, 0, "no battery is named so"},
      {"33 bytes", std::string(33, 'B'), 80, 0, "no battery is named so"},
      {"32 bytes", std::string(32, 'B'), 80, 0, "", std::nullopt, 80},
      {"each kind of character at its edges", "azAZ09-_.", 80, 0, "", std::nullopt, 80},
      {"just past them", "BAT`", 80, 0, "no battery is named so"},
      {"and before them", "BAT/", 80, 0, "no battery is named so"},
  };
  for (const auto& r : rows) {
    const CheckedLimits checked = checkLimits(r.battery, r.end, r.start);
    EXPECT_EQ(checked.refusal, r.refusal) << r.name;
    EXPECT_EQ(checked.request.has_value(), std::string(r.refusal).empty()) << r.name;
    if (!checked.request) continue;
    EXPECT_EQ(checked.request->battery, r.battery) << r.name;
    EXPECT_EQ(checked.request->end, r.takenEnd) << r.name;
    EXPECT_EQ(checked.request->start, r.takenStart) << r.name;
  }
}

}  // namespace
}  // namespace brimwell::charge
