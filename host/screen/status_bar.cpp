#include "host/screen/status_bar.h"

#include <cstdio>

namespace host {

void NoticeBoard::post(std::string notice, double now) {
  notice_ = std::move(notice);
  postedAt_ = now;
  deliveredSince_ = false;
}

std::string NoticeBoard::shown(double now) const {
  if (!deliveredSince_ || now - postedAt_ < kShownAfterDelivery) return notice_;
  return std::string();
}

std::string statusBarText(const std::string& clock, const std::string& status,
                          const std::string& notice, bool hasCharger, bool charger, double speed) {
  std::string bar = " springboard-sim  " + clock + "  " + (notice.empty() ? status : notice);
  if (hasCharger) bar += charger ? "  | charger in" : "  | charger out";
  char shownSpeed[32];
  std::snprintf(shownSpeed, sizeof shownSpeed, "  | %gx", speed);
  return bar + shownSpeed;
}

}  // namespace host
