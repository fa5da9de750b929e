#pragma once

#include <string>

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

// The status bar's text: the notice while there is one, else the last status change.
std::string statusBarText(const std::string& clock, const std::string& status,
                          const std::string& notice, bool hasCharger, bool charger, double speed);

}  // namespace host
