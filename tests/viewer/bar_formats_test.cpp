#include "viewer/output/bar_formats.h"

#include <gtest/gtest.h>

#include "platform/foundation/ns_dictionary.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "viewer/output/json_output.h"
#include "viewer/table/bid_battery_info.h"

namespace {

StatusSummary reading(double level, const char* state, std::optional<int64_t> toEmpty,
                      std::optional<int64_t> toFull = std::nullopt) {
  StatusSummary s;
  s.hasStatus = true;
  s.model = "ThinkPad";
  s.level = level;
  s.state = state;
  s.minutesToEmpty = toEmpty;
  s.minutesToFull = toFull;
  s.writtenAt = 1000;
  return s;
}

StatusSummary limitedTo(StatusSummary s, int32_t limit) {
  s.chargeLimit = limit;
  return s;
}

StatusSummary liftedOnce(StatusSummary s) {
  s.chargeFullOnce = true;
  return s;
}

StatusSummary unwritten(StatusSummary s) {
  s.hasStatus = false;
  return s;
}

StatusSummary named(StatusSummary s, const char* model) {
  s.model = model;
  return s;
}

TEST(BarFormats, EachBarAtTheLevelsAndWithoutAStatus) {
  BarContext context;  // low 20, critical 5
  context.now = 1000;
  BarContext later = context, off = context;
  later.now = 1000 + 12 * 60;
  off.lowLevel = off.criticalLevel = 0;
  const struct {
    const char* name;
    StatusSummary summary;
    BarContext context;
    std::string waybarText, waybarClass;
    std::string i3blocks;
    int i3blocksStatus;
    std::string polybar;
    std::string tooltip = "";  // a part of the waybar line from the tooltip on, where checked
  } cases[] = {
      {"discharging", reading(62, "discharging", 65), context, "62% 1:05", "[\"discharging\"]",
       "62% 1:05\n62%\n\n", 0, "62% 1:05"},
      {"at the low level", reading(20, "discharging", 24), context, "20% 0:24",
       "[\"discharging\",\"warning\"]", "20% 0:24\n20%\n#ff8000\n", 0, "%{F#ff8000}20% 0:24%{F-}"},
      {"at the critical level", reading(5, "discharging", std::nullopt), context, "5%",
       "[\"discharging\",\"critical\"]", "5%\n5%\n#cc0000\n", 33, "%{F#cc0000}5%%{F-}"},
      {"charging to the limit", limitedTo(reading(61.6, "charging", std::nullopt, 30), 80), context,
       "62% 0:30", "[\"charging\"]", "62% 0:30\n62%\n#00bf00\n", 0, "%{F#00bf00}62% 0:30%{F-}",
       "62%, charging\\n0:30 to 80%\\n"},
      {"charging to a limit of 100 %", limitedTo(reading(61.6, "charging", std::nullopt, 30), 100),
       context, "62% 0:30", "[\"charging\"]", "62% 0:30\n62%\n#00bf00\n", 0,
       "%{F#00bf00}62% 0:30%{F-}", "62%, charging\\n0:30 to full\\n"},
      {"a full once: said in the tooltip and the long text",
       liftedOnce(limitedTo(reading(81, "charging", std::nullopt, 30), 100)), context, "81% 0:30",
       "[\"charging\"]", "81% 0:30 (full once)\n81%\n#00bf00\n", 0, "%{F#00bf00}81% 0:30%{F-}",
       "0:30 to full\\ncharge limit 100% (full once)\""},
      {"a model that holds markup and a polybar tag",
       named(reading(62, "discharging", 65), "A&B <C> %{F#f00}"), context, "62% 1:05",
       "[\"discharging\"]", "62% 1:05\n62%\n\n", 0, "62% 1:05",
       "\"tooltip\":\"A&amp;B &lt;C&gt; %{F#f00}\\n62%, discharging\\n1:05 left"},
      {"low but on the charger", reading(3, "charging", std::nullopt), context, "3%",
       "[\"charging\"]", "3%\n3%\n#00bf00\n", 0, "%{F#00bf00}3%%{F-}"},
      {"older than the host's longest wait", reading(62, "discharging", 65), later, "62% 1:05",
       "[\"discharging\",\"stale\"]", "62% 1:05?\n62%?\n\n", 0, "62% 1:05?"},
      {"no status", StatusSummary{}, context, "", "", "", 0, ""},
      {"idle on the charger: its state in words", reading(80, "not-charging", std::nullopt),
       context, "80%", "[\"not-charging\"]", "80%\n80%\n\n", 0, "80%", "80%, not charging\""},
      {"warnings off, at 0 %", reading(0, "discharging", std::nullopt), off, "0%",
       "[\"discharging\"]", "0%\n0%\n\n", 0, "0%"},
      {"a level without a status is none", unwritten(reading(62, "discharging", 65)), context, "",
       "", "", 0, ""},
  };
  for (const auto& c : cases) {
    const std::string waybar = waybarLine(c.summary, c.context);
    if (c.waybarText.empty()) {
      EXPECT_EQ(waybar, "{\"text\":\"\"}") << c.name;
    } else {
      EXPECT_EQ(waybar.rfind("{\"text\":\"" + c.waybarText + "\",", 0), 0u) << c.name << waybar;
      EXPECT_NE(waybar.find("\"class\":" + c.waybarClass), std::string::npos) << c.name << waybar;
      EXPECT_NE(waybar.find("\"alt\":\"" + *c.summary.state + "\""), std::string::npos) << c.name;
    }
    EXPECT_EQ(i3blocksLines(c.summary, c.context), c.i3blocks) << c.name;
    EXPECT_EQ(i3blocksExitStatus(c.summary, c.context), c.i3blocksStatus) << c.name;
    EXPECT_EQ(polybarLine(c.summary, c.context), c.polybar) << c.name;
    if (!c.tooltip.empty()) {
      EXPECT_NE(waybar.find(c.tooltip), std::string::npos) << c.name << waybar;
    }
  }
}

// From a status file's dictionary to the summary the bars and --json print: the way the charge
// goes, the host's figures, the status's age.
TEST(BarFormats, WhatAReadingSummarisesTo) {
  const std::string laptop =
      "<key>AppleRawMaxCapacity</key><integer>4000</integer>"
      "<key>ChargingState</key><string>discharging</string>";
  const std::string word = "<key>ChargingState</key><string>discharging</string>";
  const std::string critical = "<key>BatteryLevelWord</key><string>Critical</string>";
  const auto phone = [](int current, bool charger) {
    return "<key>AppleRawMaxCapacity</key><integer>1000</integer><key>InstantAmperage</key>"
           "<integer>" +
           std::to_string(current) + "</integer><key>ExternalConnected</key>" +
           (charger ? "<true/>" : "<false/>");
  };
  const struct {
    const char* name;
    std::string body;
    bool waybar;  // else --json
    std::string part;
  } cases[] = {
      {"a phone drawing on its charger", phone(-523, true), false, "\"state\":\"discharging\""},
      {"a phone idle on its charger", phone(0, true), false, "\"state\":\"not-charging\""},
      {"a laptop's time", laptop + "<key>AvgTimeToEmpty</key><integer>180</integer>", false,
       "\"time_to_empty_min\":180,\"time_to_full_min\":null"},
      {"a laptop's power", laptop + "<key>BatteryPower</key><integer>-10000</integer>", false,
       "\"power_W\":-10.00,\"state\""},
      {"a laptop's energies",
       laptop + "<key>BatteryEnergy</key><integer>0</integer><key>BatteryEnergyFull</key>"
                "<integer>45600</integer>",
       false, "\"power_W\":null,\"energy_Wh\":0.00,\"energy_full_Wh\":45.60,\"state"},
      {"no full energy, no energies",
       laptop + "<key>BatteryEnergy</key><integer>30780</integer><key>BatteryEnergyFull</key>"
                "<integer>0</integer>",
       false, "\"power_W\":null,\"state\""},
      {"a phone has no energies", phone(0, false), false, "\"power_W\":null,\"state"},
      {"a status just written", phone(0, false), false, "+00:00\",\"age_s\":0}"},
      {"a laptop's time not yet known",
       laptop + "<key>AvgTimeToEmpty</key><integer>65535</integer>", true,
       "discharging\\nestimating the time"},
      {"a level only in a word: beside the level",
       word + "<key>BatteryLevelWord</key><string>Low</string>", false,
       "\"level\":null,\"level_word\":\"Low\",\"temperature\""},
      {"a level only in a word: no percentage, no estimate", word + critical, true,
       "\"tooltip\":\"ThinkPad\\nCritical, "
       "discharging\",\"class\":[\"discharging\",\"critical\"]}"},
      {"a laptop's power in the tooltip as on its table",
       laptop + "<key>BatteryPower</key><integer>-10234</integer>", true, "the time\\n-10.2 W\""},
      {"a full once beside the limit it lifted",
       laptop + "<key>ChargeLimit</key><integer>100</integer><key>ChargeFullOnce</key><true/>",
       false, "\"charge_limit\":100,\"charge_full_once\":true,\"updated\""},
      {"without a full once, no such member",
       laptop + "<key>ChargeLimit</key><integer>100</integer>", false,
       "\"charge_limit\":100,\"updated\""},
      {"a full once said false is none",
       laptop + "<key>ChargeLimit</key><integer>100</integer><key>ChargeFullOnce</key><false/>",
       false, "\"charge_limit\":100,\"updated\""},
      {"a phone's status is no laptop's, whatever it holds",
       phone(0, true) + "<key>ChargeFullOnce</key><true/>", false,
       "\"charge_limit\":null,\"updated\""},
      {"a draw too small to show has no sign",
       laptop + "<key>BatteryPower</key><integer>-40</integer>", true, "the time\\n0.0 W\""},
  };
  {
    testing_support::ScopedEnvironment env;
    env.set("TZ", "UTC");
    tzset();
    for (const auto& c : cases) {
      BIDBatteryInfo info;
      fillBatteryInfo(info,
                      NSDictionary(brimwell::Plist::fromMemory(testing_support::plistXml(c.body))));
      info.writtenAt = 1000;
      const StatusSummary s = summarize("ThinkPad", info);
      BarContext context;
      context.now = 1000;
      const std::string out = c.waybar ? waybarLine(s, context) : summaryJson(s, context.now);
      EXPECT_NE(out.find(c.part), std::string::npos) << c.name << "\n" << out;
    }
  }
  tzset();
}

}  // namespace
