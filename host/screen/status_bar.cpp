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

std::string statusBarText(const HostScreenState& state) {
  std::string bar = " springboard-sim  " + state.clock + "  " +
                    (state.notice.empty() ? state.status : state.notice);
  if (!state.source.empty()) bar += "  | " + state.source;
  if (state.hasCharger) bar += state.charger ? "  | charger in" : "  | charger out";
  if (state.hasSpeed) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "  | %gx", state.speed);
    bar += speed;
  }
  return bar;
}

std::string keysText(const HostScreenState& state, bool dialogOpen) {
  std::string keys = dialogOpen ? " Enter closes the dialog " : "";
  if (state.hasCharger) keys += " c charger ";
  if (!state.laptop) keys += " l lock/unlock ";
  if (state.hasSpeed) keys += " + - speed ";
  return keys + " q quit";
}

}  // namespace host
