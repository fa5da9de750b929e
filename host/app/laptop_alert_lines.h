#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "platform/uikit/presenter.h"

namespace host {

// The laptop service's headless lines for the plug-in's alerts, as its journal shows them:
// `alert "Charging is complete"` and `alert sound`, without a phone's dialog title, button or
// sound file. A laptop has nothing to vibrate, so a vibration is no line.
class LaptopAlertLines : public platform::Presenter {
 public:
  // prefix starts every line (the clock).
  LaptopAlertLines(std::FILE* out, std::function<std::string()> prefix)
      : out_(out), prefix_(std::move(prefix)) {}
  void showAlert(UIAlertView* alert) override;
  void vibrate() override {}
  void playSound(const std::string& devicePath) override;

 private:
  void say(const std::string& text);
  std::FILE* out_;
  std::function<std::string()> prefix_;
};

}  // namespace host
