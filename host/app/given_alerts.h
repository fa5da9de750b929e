#pragma once

#include <optional>
#include <set>
#include <string>

#include "common/plist.h"
#include "platform/uikit/presenter.h"

namespace host {

// A restarted service (each login, say) finds the plug-in's alert flags cleared, and would give
// again the alerts of a charge that goes on. This presenter remembers, in a small file beside the
// status file, the dialogs given while external power stays in: the boot, the level then, and
// the dialogs' messages. A restarted host that finds the same boot, external power still in and
// the level not fallen since (so, the same charge) lets those dialogs pass unseen, with the
// vibration and sound that come with them. External power going away forgets them.
class GivenAlerts : public platform::Presenter {
 public:
  // remember: the machine's own battery (a simulated phone starts afresh each run).
  GivenAlerts(platform::Presenter& inner, bool remember);
  void showAlert(UIAlertView* alert) override;
  void vibrate() override;
  void playSound(const std::string& devicePath) override;
  // Each status change, before the plug-in sees it.
  void onStatus(const brimwell::Plist& status);

 private:
  void save() const;
  void forget();

  platform::Presenter& inner_;
  bool remember_;
  std::string boot_;
  std::optional<double> level_;        // at the last status
  std::optional<double> recordLevel_;  // when the record was written
  std::set<std::string> given_;        // in this charge, by this run or the one before
  std::set<std::string> fromBefore_;   // given before the restart, not yet given again
  bool muted_ = false;                 // a dialog let pass unseen: its vibration and sound too
  bool checked_ = false;               // the first status decided whether the record holds
};

}  // namespace host
