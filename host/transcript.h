#pragma once

#include <ostream>

#include "platform/uikit/presenter.h"

class UIView;

namespace host {

// The scenario runner's presenter: every dialog, vibration and sound becomes a transcript
// line, and each dialog is closed once recorded.
class TranscriptPresenter : public platform::Presenter {
 public:
  explicit TranscriptPresenter(std::ostream& out) : out_(out) {}
  void showAlert(UIAlertView* alert) override;
  void vibrate() override;
  void playSound(const std::string& devicePath) override;

 private:
  std::ostream& out_;
};

// One "view"/"label" line for each subview of root, depth-first.
void printSubviews(std::ostream& out, int controller, const UIView* root);

}  // namespace host
