#include "host/screen/screen_presenter.h"

#include "platform/uikit/ui_alert_view.h"

namespace host {

ScreenPresenter::~ScreenPresenter() {
  while (closeTopDialog()) {
  }
}

void ScreenPresenter::showAlert(UIAlertView* alert) {
  dialogs_.push_back(alert);
}

void ScreenPresenter::vibrate() {
  vibrateUntil_ = Clock::now() + kIndicatorTime;
}

void ScreenPresenter::playSound(const std::string& devicePath) {
  soundUntil_ = Clock::now() + kIndicatorTime;
  soundName_ = devicePath.substr(devicePath.rfind('/') + 1);
  bell_ = true;
}

bool ScreenPresenter::closeTopDialog() {
  if (dialogs_.empty()) return false;
  UIAlertView* top = dialogs_.back();
  dialogs_.pop_back();
  top->dismiss();
  return true;
}

bool ScreenPresenter::takeBell() {
  const bool ring = bell_;
  bell_ = false;
  return ring;
}

}  // namespace host
