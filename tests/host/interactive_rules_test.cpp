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
  const struct {
    const char* name;
    std::vector<std::pair<const char*, brimwell::Plist (*)()>> status;
    std::vector<std::string> lines;
  } cases[] = {
      {"on battery with a time",
       {{"CurrentCapacity", [] { return brimwell::Plist::integer(3); }},
        {"ChargingState", [] { return brimwell::Plist::string("discharging"); }},
        {"AvgTimeToEmpty", [] { return brimwell::Plist::integer(7); }},
        {"AvgTimeToFull", [] { return brimwell::Plist::integer(90); }}},
       {"3 %, on battery", "about 7 min to empty"}},
      {"charging to its limit",
       {{"CurrentCapacity", [] { return brimwell::Plist::integer(62); }},
        {"ChargingState", [] { return brimwell::Plist::string("charging"); }},
        {"AvgTimeToEmpty", [] { return brimwell::Plist::integer(5); }},
        {"AvgTimeToFull", [] { return brimwell::Plist::integer(60); }},
        {"ChargeLimit", [] { return brimwell::Plist::integer(80); }}},
       {"62 %, charging", "about 1 h 0 min to 80 %"}},
      {"charging, no time yet",
       {{"ChargingState", [] { return brimwell::Plist::string("charging"); }},
        {"AvgTimeToFull", [] { return brimwell::Plist::integer(65535); }}},
       {"charging", "time to full: estimating"}},
      {"charging to a limit of 100 %",
       {{"ChargingState", [] { return brimwell::Plist::string("charging"); }},
        {"AvgTimeToFull", [] { return brimwell::Plist::integer(90); }},
        {"ChargeLimit", [] { return brimwell::Plist::integer(100); }}},
       {"charging", "about 1 h 30 min to full"}},
      {"a time below nothing",
       {{"ChargingState", [] { return brimwell::Plist::string("discharging"); }},
        {"AvgTimeToEmpty", [] { return brimwell::Plist::integer(-5); }}},
       {"on battery", "time to empty: estimating"}},
      {"full: no time",
       {{"ChargingState", [] { return brimwell::Plist::string("full"); }}},
       {"full"}},
      {"on the charger, not charging",
       {{"ChargingState", [] { return brimwell::Plist::string("not-charging"); }}},
       {"on the charger, not charging"}},
      {"a state word not known",
       {{"ChargingState", [] { return brimwell::Plist::string("Charging"); }}},
       {"state unknown"}},
      {"the battery taken out",
       {{"BatteryInstalled", [] { return brimwell::Plist::boolean(false); }}},
       {"no battery: it was taken out"}},
      {"a battery said to be there",
       {{"BatteryInstalled", [] { return brimwell::Plist::boolean(true); }},
        {"ChargingState", [] { return brimwell::Plist::string("full"); }}},
       {"full"}},
  };
  for (const auto& c : cases) {
    brimwell::Plist status = brimwell::Plist::newDictionary();
    for (const auto& [key, value] : c.status) status.setItem(key, value());
    EXPECT_EQ(laptopLines(status), c.lines) << c.name;
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
