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

TEST(StatusBar, TheNoticeTakesThePlaceOfTheStatus) {
  EXPECT_EQ(
      statusBarText("[00:00:02] ", "63% 1081/1715 mAh 1000 mA charging", "", true, true, 60),
      " springboard-sim  [00:00:02]   63% 1081/1715 mAh 1000 mA charging  | charger in  | 60x");
  EXPECT_EQ(statusBarText("[00:00:02] ", "waiting for the first status change",
                          "no battery found in /sys; waiting for one", false, false, 1),
            " springboard-sim  [00:00:02]   no battery found in /sys; waiting for one  | 1x");
}

}  // namespace
}  // namespace host
