#include "host/app/laptop_lines.h"
#include "host/app/screen_wake.h"
#include "host/screen/status_bar.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(NoticeBoard, ANoticeStaysUntilAStatusChangeFollowsAndAWhileAfter) {
  const struct {
    const char* name;
    bool delivered;
    double at;
    bool shown;
  } cases[] = {
      {"nothing delivered since: no battery, or it is gone", false, 3600, true},
      {"a status change followed at once", true, 0, true},
      {"just before the while is up", true, NoticeBoard::kShownAfterDelivery - 0.01, true},
      {"the while is up", true, NoticeBoard::kShownAfterDelivery, false},
  };
  for (const auto& c : cases) {
    NoticeBoard board;
    EXPECT_EQ(board.shown(0), "") << c.name;
    board.post("a battery appeared: BAT0", 0);
    if (c.delivered) board.statusDelivered();
    EXPECT_EQ(board.shown(c.at), c.shown ? "a battery appeared: BAT0" : "") << c.name;
  }
  NoticeBoard board;
  board.post("no battery found", 0);
  board.statusDelivered();
  board.post("the battery is gone", 50);  // a newer notice starts over
  EXPECT_EQ(board.shown(1000), "the battery is gone");
}

TEST(StatusBar, OnlyWhatAppliesToTheSource) {
  HostScreenState simulated;
  simulated.clock = "[00:00:02] ";
  simulated.status = "63% 1081/1715 mAh 1000 mA charging";
  simulated.hasCharger = simulated.charger = true;
  HostScreenState sysfs;
  sysfs.clock = "[00:00:02] ";
  sysfs.status = "waiting for the first status change";
  sysfs.notice = "no battery found in /sys; waiting for one";
  sysfs.source = "sysfs /sys, read every 30 s";
  sysfs.hasSpeed = false;
  sysfs.laptop = true;
  const struct {
    const HostScreenState& state;
    bool dialog;
    const char* bar;
    const char* keys;
  } cases[] = {
      {simulated, false,
       " springboard-sim  [00:00:02]   63% 1081/1715 mAh 1000 mA charging  | charger in  | 60x",
       " c charger  l lock/unlock  + - speed  q quit"},
      {simulated, true,
       " springboard-sim  [00:00:02]   63% 1081/1715 mAh 1000 mA charging  | charger in  | 60x",
       " Enter closes the dialog  c charger  l lock/unlock  + - speed  q quit"},
      {sysfs, false,
       " springboard-sim  [00:00:02]   no battery found in /sys; waiting for one  | sysfs /sys, "
       "read every 30 s",
       " q quit"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(statusBarText(c.state), c.bar);
    EXPECT_EQ(keysText(c.state, c.dialog), c.keys);
  }
}

// What the screen says of a laptop in place of a phone: only what its status gives.
TEST(LaptopLines, TheLevelTheStateAndTheHostsTime) {
  const auto none = std::nullopt;
  const struct {
    const char* state;  // ChargingState, if any
    std::optional<int> level, toEmpty, toFull, limit;
    std::optional<bool> installed;
    std::vector<std::string> lines;
    const char* word = nullptr;  // BatteryLevelWord
    bool fullOnce = false;       // ChargeFullOnce
  } cases[] = {
      {"discharging", 3, 7, 90, none, none, {"3 %, on battery", "about 7 min to empty"}},
      {"charging", 62, 5, 60, 80, none, {"62 %, charging", "about 1 h 0 min to 80 %"}},
      {"charging", none, none, 65535, none, none, {"charging", "time to full: estimating"}},
      {"charging", none, none, 90, 100, none, {"charging", "about 1 h 30 min to full"}},
      {"discharging", none, 0, none, none, none, {"on battery", "about 0 min to empty"}},
      {"full", none, none, none, none, true, {"full"}},
      {"not-charging", none, none, none, none, none, {"on the charger, not charging"}},
      {"Charging", none, none, none, none, none, {"state unknown"}},
      {nullptr, none, none, none, none, false, {"no battery: it was taken out"}},
      {"discharging", none, none, none, none, none, {"level Low, on battery"}, "Low"},
      {"charging",
       81,
       none,
       30,
       100,
       none,
       {"81 %, charging", "about 30 min to full (full once)"},
       nullptr,
       true},
      {"charging",
       81,
       none,
       65535,
       none,
       none,
       {"81 %, charging", "time to full (full once): estimating"},
       nullptr,
       true},
  };
  for (const auto& c : cases) {
    brimwell::Plist status = brimwell::Plist::newDictionary();
    if (c.state) status.setItem("ChargingState", brimwell::Plist::string(c.state));
    const std::pair<const char*, std::optional<int>> figures[] = {{"CurrentCapacity", c.level},
                                                                  {"AvgTimeToEmpty", c.toEmpty},
                                                                  {"AvgTimeToFull", c.toFull},
                                                                  {"ChargeLimit", c.limit}};
    for (const auto& [key, value] : figures) {
      if (value) status.setItem(key, brimwell::Plist::integer(*value));
    }
    if (c.installed) status.setItem("BatteryInstalled", brimwell::Plist::boolean(*c.installed));
    if (c.word) status.setItem("BatteryLevelWord", brimwell::Plist::string(c.word));
    if (c.fullOnce) status.setItem("ChargeFullOnce", brimwell::Plist::boolean(true));
    EXPECT_EQ(laptopLines(status), c.lines) << c.lines.back();
  }
}

TEST(ScreenWake, TheFirstChangeThePlugAndEachWholePercent) {
  const struct {
    int32_t charge;  // of 1000 mAh
    bool charger;
    bool wakes;
  } changes[] = {
      {500, true, true},    // the first change
      {504, true, false},   // 50.4 %: the same whole percent
      {509, true, false},   // 50.9 %
      {510, true, true},    // 51 %
      {510, false, true},   // unplugged
      {505, false, true},   // 50.5 %: down a percent since the last wake
      {500, false, false},  // 50 %: still the same whole percent as at that wake
      {500, true, true},    // plugged in
  };
  ScreenWake wake;
  for (const auto& c : changes) {
    brimwell::Plist status = brimwell::Plist::newDictionary();
    status.setItem("AppleRawCurrentCapacity", brimwell::Plist::integer(c.charge));
    status.setItem("AppleRawMaxCapacity", brimwell::Plist::integer(1000));
    status.setItem("ExternalConnected", brimwell::Plist::boolean(c.charger));
    EXPECT_EQ(wake.wakesFor(status), c.wakes) << c.charge << (c.charger ? " on" : " off");
  }
}

}  // namespace
}  // namespace host
