#include "charge/limits_plan.h"

#include <gtest/gtest.h>

#include "charge/charge_bus.h"
#include "charge/kept_limits.h"

namespace brimwell::charge {
namespace {

// "BAT0 end 100>80; BAT0 start 75>70", in the order written.
std::string writesOf(const Plan& plan) {
  std::string out;
  for (const auto& w : plan.writes) {
    out += (out.empty() ? "" : "; ") + w.battery +
           (w.threshold == Threshold::End ? " end " : " start ") + std::to_string(w.previous) +
           ">" + std::to_string(w.value);
  }
  return out;
}

// "BAT0 80/75 once:b1", one battery after another.
std::string keptOf(const KeptState& kept) {
  std::string out;
  for (const auto& [name, k] : kept) {
    out += (out.empty() ? "" : "; ") + name + " " + (k.end ? std::to_string(*k.end) : "-") + "/" +
           (k.start ? std::to_string(*k.start) : "-") +
           (k.fullOnceBoot.empty() ? "" : " once:" + k.fullOnceBoot) +
           (k.fullOncePowered ? " powered" : "");
  }
  return out;
}

const std::vector<BatteryThresholds> kEndOnly = {{"BAT0", 100, std::nullopt}};
const std::vector<BatteryThresholds> kBoth = {{"BAT0", 80, 75}};
const std::vector<BatteryThresholds> kTwo = {{"BAT0", 90, std::nullopt},
                                             {"BAT1", std::nullopt, std::nullopt}};

// Each request against what the drivers hold: the writes in an order the driver takes (the start
// below the end at every step), what is kept, or the refusal the caller reads.
TEST(LimitsPlan, SetLimits) {
  const struct {
    const char* name;
    std::vector<BatteryThresholds> batteries;
    KeptState kept;
    LimitsRequest request;
    const char* writes;
    const char* kept_after;
    const char* error = nullptr;
    const char* refusal = "";
  } rows[] = {
      {"a limit", kEndOnly, {}, {"", 80, std::nullopt}, "BAT0 end 100>80", "BAT0 80/-"},
      {"both up: the end first",
       kBoth,
       {},
       {"", 95, 90},
       "BAT0 end 80>95; BAT0 start 75>90",
       "BAT0 95/90"},
      {"both down: the start first",
       kBoth,
       {},
       {"BAT0", 50, 40},
       "BAT0 start 75>40; BAT0 end 80>50",
       "BAT0 50/40"},
      {"an end below the start takes it down",
       kBoth,
       {},
       {"", 60, std::nullopt},
       "BAT0 start 75>59; BAT0 end 80>60",
       "BAT0 60/-"},
      {"a start alone", kBoth, {}, {"", std::nullopt, 70}, "BAT0 start 75>70", "BAT0 -/70"},
      {"the kept start taken down too",
       kBoth,
       {{"BAT0", {80, 75, ""}}},
       {"", 60, std::nullopt},
       "BAT0 start 75>59; BAT0 end 80>60",
       "BAT0 60/59"},
      {"a start not below the end",
       kBoth,
       {},
       {"", std::nullopt, 80},
       "",
       "",
       kErrorInvalidArgs,
       "charging starts again below the limit: 80 is not below 80 (BAT0)"},
      {"the same again writes nothing",
       kBoth,
       {{"BAT0", {80, 75, ""}}},
       {"", 80, 75},
       "",
       "BAT0 80/75"},
      {"a set ends a full once",
       kEndOnly,
       {{"BAT0", {80, std::nullopt, "b1"}}},
       {"", 80, std::nullopt},
       "BAT0 end 100>80",
       "BAT0 80/-"},
      {"every battery that offers it",
       kTwo,
       {},
       {"", 80, std::nullopt},
       "BAT0 end 90>80",
       "BAT0 80/-"},
      {"a battery without a limit",
       kTwo,
       {},
       {"BAT1", 80, std::nullopt},
       "",
       "",
       kErrorNoLimit,
       "BAT1 offers no charge limit"},
      {"a start where none is offered",
       kEndOnly,
       {},
       {"BAT0", std::nullopt, 70},
       "",
       "",
       kErrorNoLimit,
       "BAT0 offers no start threshold"},
      {"a limit and a start where only the limit is offered",
       kEndOnly,
       {},
       {"BAT0", 80, 70},
       "",
       "",
       kErrorNoLimit,
       "BAT0 offers no start threshold"},
      {"no start anywhere",
       kEndOnly,
       {},
       {"", std::nullopt, 70},
       "",
       "",
       kErrorNoLimit,
       "this machine offers no start threshold"},
      {"no battery",
       {},
       {},
       {"", 80, std::nullopt},
       "",
       "",
       kErrorNoLimit,
       "this machine offers no charge limit"},
      {"a battery not there",
       kTwo,
       {},
       {"BAT2", 80, std::nullopt},
       "",
       "",
       kErrorNoSuchBattery,
       "no system battery is named BAT2 (there are BAT0, BAT1)"},
  };
  for (const auto& r : rows) {
    const Plan plan = planLimits(r.request, r.batteries, r.kept);
    EXPECT_EQ(writesOf(plan), r.writes) << r.name;
    EXPECT_EQ(plan.errorName ? plan.errorName : "", std::string(r.error ? r.error : "")) << r.name;
    EXPECT_EQ(plan.refusal, r.refusal) << r.name;
    if (!plan.errorName) {
      EXPECT_EQ(keptOf(plan.kept), r.kept_after) << r.name;
    }
  }
}

// "Full once" and every moment the kept limits go back: lifted to 100 (charging resumes at
// once), kept in this boot while external power lasts, and put back after it or at another boot.
TEST(LimitsPlan, FullOnceAndPutBack) {
  const struct {
    const char* name;
    std::vector<BatteryThresholds> batteries;
    KeptState kept;
    // "once", "back"; "off mains"; "power changes": only what a full once waits for; "no boot
    // id": the service could not read it
    const char* action;
    const char* writes;
    const char* kept_after;
  } rows[] = {
      {"lifted, the driver's own kept",
       kBoth,
       {},
       "once",
       "BAT0 end 80>100; BAT0 start 75>99",
       "BAT0 80/75 once:b1 powered"},
      {"asked on battery",
       kBoth,
       {},
       "once off mains",
       "BAT0 end 80>100; BAT0 start 75>99",
       "BAT0 80/75 once:b1"},
      {"the user's limit kept",
       kEndOnly,
       {{"BAT0", {80, std::nullopt, ""}}},
       "once",
       "",
       "BAT0 80/- once:b1 powered"},
      {"nothing to lift", kEndOnly, {}, "once", "", ""},
      {"a driver's 0 is no limit to put back", {{"BAT0", 0, 0}}, {}, "once", "", ""},
      {"nor a start to take below it", {{"BAT0", 0, 0}}, {{"BAT0", {}}}, "back", "", "BAT0 -/-"},
      {"already waiting",
       {{"BAT0", 100, 99}},
       {{"BAT0", {80, 75, "b1"}}},
       "once",
       "",
       "BAT0 80/75 once:b1"},
      {"lost in a sleep",
       kEndOnly,
       {{"BAT0", {80, std::nullopt, ""}}},
       "back",
       "BAT0 end 100>80",
       "BAT0 80/-"},
      {"held", kBoth, {{"BAT0", {80, 75, ""}}}, "back", "", "BAT0 80/75"},
      {"the firmware's start above it",
       {{"BAT0", 100, 95}},
       {{"BAT0", {80, std::nullopt, ""}}},
       "back",
       "BAT0 start 95>79; BAT0 end 100>80",
       "BAT0 80/-"},
      {"full once on mains",
       {{"BAT0", 100, 99}},
       {{"BAT0", {80, 75, "b1"}}},
       "back",
       "",
       "BAT0 80/75 once:b1 powered"},
      {"full once on mains, the limit lost in a sleep",
       kBoth,
       {{"BAT0", {80, 75, "b1", true}}},
       "back",
       "BAT0 end 80>100; BAT0 start 75>99",
       "BAT0 80/75 once:b1 powered"},
      {"full once, mains gone",
       {{"BAT0", 100, 99}},
       {{"BAT0", {80, 75, "b1", true}}},
       "back off mains",
       "BAT0 start 99>75; BAT0 end 100>80",
       "BAT0 80/75"},
      {"asked on battery, not plugged in yet",
       {{"BAT0", 100, 99}},
       {{"BAT0", {80, 75, "b1"}}},
       "back off mains",
       "",
       "BAT0 80/75 once:b1"},
      {"full once of another boot",
       kEndOnly,
       {{"BAT0", {80, std::nullopt, "b0"}}},
       "back",
       "BAT0 end 100>80",
       "BAT0 80/-"},
      {"no boot id to end it with", kBoth, {}, "once, no boot id", "", ""},
      {"power gone: only the battery whose full once waits",
       {{"BAT0", 100, 99}, {"BAT1", 100, std::nullopt}},
       {{"BAT0", {80, 75, "b1", true}}, {"BAT1", {60, std::nullopt, ""}}},
       "back off mains, power changes",
       "BAT0 start 99>75; BAT0 end 100>80",
       "BAT0 80/75; BAT1 60/-"},
      {"a kept battery not there",
       kEndOnly,
       {{"BAT1", {80, std::nullopt, ""}}},
       "back",
       "",
       "BAT1 80/-"},
  };
  for (const auto& r : rows) {
    const std::string action = r.action;
    const bool mains = action.find("off mains") == std::string::npos;
    const char* boot = action.find("no boot id") == std::string::npos ? "b1" : "";
    const PutBack which = action.find("power changes") == std::string::npos
                              ? PutBack::every
                              : PutBack::fullOnceWaiting;
    const Plan plan = action.rfind("once", 0) == 0
                          ? planFullOnce("", r.batteries, r.kept, boot, mains)
                          : planPutBack(r.batteries, r.kept, boot, mains, which);
    EXPECT_EQ(writesOf(plan), r.writes) << r.name;
    EXPECT_EQ(keptOf(plan.kept), r.kept_after) << r.name;
  }
}

// The kept file: what the service wrote reads back the same, and a damaged one is no state at all
// rather than a limit no caller set.
TEST(LimitsPlan, KeptFile) {
  const KeptState kept = {{"BAT0", {80, 75, "b1", true}},
                          {"BAT1", {60, std::nullopt, ""}},
                          {"BAT2", {100, 99, ""}},
                          {"BAT3", {1, 0, ""}}};
  EXPECT_EQ(keptFromJson(keptToJson(kept)), kept);
  EXPECT_EQ(
      keptOf(*keptFromJson(R"({"BAT0": {"end": 80, "colour": "red"}, "BAT1": {"start": 0}})")),
      "BAT0 80/-; BAT1 -/0");
  // A boot id kept in either form is the kernel's.
  EXPECT_EQ(keptOf(*keptFromJson(R"({"BAT0": {"fullOnceBoot": "EF9FF5A0F35D4B95905C7C71ADC9CBF7"},)"
                                 R"( "BAT1": {"fullOnceBoot": "b1"}})")),
            "BAT0 -/- once:ef9ff5a0-f35d-4b95-905c-7c71adc9cbf7; BAT1 -/- once:b1");
  for (const char* damaged :
       {"", "[]", "{", R"({"../x": {"end": 80}})", R"({"BAT0": 80})", R"({"BAT0": {"end": 0}})",
        R"({"BAT0": {"end": 101}})", R"({"BAT0": {"start": 100}})", R"({"BAT0": {"end": "80"}})",
        R"({"BAT0": {"end": 80.5}})", R"({"BAT0": {"fullOnceBoot": 1}})",
        R"({"BAT0": {"fullOncePowered": 1}})", R"({"BAT0": {"end": 80}} x)"}) {
    EXPECT_FALSE(keptFromJson(damaged).has_value()) << damaged;
  }
}

// A boot id as the kernel and as systemd's %b write it is one id; anything else is none.
TEST(LimitsPlan, BootIds) {
  const char* kernel = "ef9ff5a0-f35d-4b95-905c-7c71adc9cbf7";
  const struct {
    const char* text;
    const char* id;
  } rows[] = {
      {"ef9ff5a0-f35d-4b95-905c-7c71adc9cbf7", kernel},
      {"ef9ff5a0f35d4b95905c7c71adc9cbf7", kernel},
      {"EF9FF5A0F35D4B95905C7C71ADC9CBF7", kernel},
      {"ef9ff5a0f35d4b95905c7c71adc9cbf", ""},
      {"ef9ff5a0f35d4b95905c7c71adc9cbf7a", ""},
      {"ef9ff5a0-f35d-4b95-905c7c71adc9cbf7-", ""},
      {"ef9ff5a0f35d4b95905c7c71adc9cbfg", ""},
      {"%b", ""},
      {"00000000000000000000000000000000", ""},
      {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(bootIdFrom(r.text), r.id) << r.text;
}

}  // namespace
}  // namespace brimwell::charge
