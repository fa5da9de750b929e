#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/presenter.h"

namespace host {

// The interactive host's presenter: dialogs stay on screen, stacked, until the user closes
// them; a vibration or a sound shows an indicator for a moment (and rings the bell).
class ScreenPresenter : public platform::Presenter {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kIndicatorTime{1500};

  ~ScreenPresenter() override;
  void showAlert(UIAlertView* alert) override;
  void vibrate() override;
  void playSound(const std::string& devicePath) override;
  void withdrawAlert(UIAlertView* alert) override;

  const std::vector<UIAlertView*>& dialogs() const { return dialogs_; }
  bool closeTopDialog();
  bool vibrating(Clock::time_point now) const { return now < vibrateUntil_; }
  bool sounding(Clock::time_point now) const { return now < soundUntil_; }
  const std::string& soundName() const { return soundName_; }
  // When the next indicator shown now goes out, so the screen can be drawn again then.
  std::optional<Clock::time_point> nextIndicatorEnd(Clock::time_point now) const;
  // Set when a sound played since the last call: the screen rings the bell once for it.
  bool takeBell();

 private:
  std::vector<UIAlertView*> dialogs_;
  Clock::time_point vibrateUntil_{};
  Clock::time_point soundUntil_{};
  std::string soundName_;
  bool bell_ = false;
};

}  // namespace host
