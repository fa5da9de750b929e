#pragma once

#include <string>
#include <vector>

#include "platform/uikit/ui_geometry.h"

class UIView;

namespace host {

// The source's latest notice for the host's status bar ("no battery found ..."). It stays
// while nothing was delivered after it (no battery, a battery gone) and for a while after
// that, so that one followed at once by a status change is still seen.
class NoticeBoard {
 public:
  static constexpr double kShownAfterDelivery = 10;  // real seconds

  void post(std::string notice, double now);
  void statusDelivered() { deliveredSince_ = true; }
  // The notice to show now; empty when there is none.
  std::string shown(double now) const;

 private:
  std::string notice_;
  double postedAt_ = 0;
  bool deliveredSince_ = false;
};

// What the host screen shows at one moment.
struct HostScreenState {
  std::string status;  // the last status change, summarised
  std::string notice;  // the battery source's, while it is shown
  std::string clock;   // simulated time
  std::string source;  // a few words on the source, when the status does not say enough
  double speed = 60;
  bool hasSpeed = true;
  bool charger = false;
  bool hasCharger = false;
  bool locked = false;
  bool pad = false;
  // The machine's own battery: no phone is drawn, only what the host can say of it.
  bool laptop = false;
  std::vector<std::string> laptopLines;
  CGSize screen{};
  const UIView* lockScreenRoot = nullptr;  // the live charging view, when locked
};

// The status bar's text: the notice while there is one, else the last status change; then the
// source, the charger and the speed where they apply.
std::string statusBarText(const HostScreenState& state);

// The keys line: only the keys that do something for this source (and Enter with a dialog up);
// a laptop has no lock screen to lock.
std::string keysText(const HostScreenState& state, bool dialogOpen);

}  // namespace host
