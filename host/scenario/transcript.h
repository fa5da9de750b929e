#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "platform/uikit/presenter.h"

class UIView;

namespace host {

// The scenario runner's presenter: every dialog, vibration and sound becomes a transcript
// line, and each dialog is closed once recorded. Each line goes out in one write as it is said,
// so a file or the journal has it at once, whole.
class TranscriptPresenter : public platform::Presenter {
 public:
  // prefix, when given, starts every line (a clock, say).
  explicit TranscriptPresenter(std::FILE* out, std::function<std::string()> prefix = {})
      : out_(out), prefix_(std::move(prefix)) {}
  void showAlert(UIAlertView* alert) override;
  void vibrate() override;
  void playSound(const std::string& devicePath) override;

 private:
  void say(const std::string& text);
  std::FILE* out_;
  std::function<std::string()> prefix_;
};

// One "view"/"label" line for each subview of root, depth-first.
void printSubviews(std::FILE* out, int controller, const UIView* root);

}  // namespace host
