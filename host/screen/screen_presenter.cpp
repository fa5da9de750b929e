#include "host/screen/screen_presenter.h"

#include <algorithm>

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

void ScreenPresenter::withdrawAlert(UIAlertView* alert) {
  const auto at = std::find(dialogs_.begin(), dialogs_.end(), alert);
  if (at == dialogs_.end()) return;
  dialogs_.erase(at);
  alert->dismiss();
}

bool ScreenPresenter::closeTopDialog() {
  if (dialogs_.empty()) return false;
  UIAlertView* top = dialogs_.back();
  dialogs_.pop_back();
  top->dismiss();
  return true;
}

std::optional<ScreenPresenter::Clock::time_point> ScreenPresenter::nextIndicatorEnd(
    Clock::time_point now) const {
  std::optional<Clock::time_point> next;
  for (const Clock::time_point end : {vibrateUntil_, soundUntil_}) {
    if (end > now && (!next || end < *next)) next = end;
  }
  return next;
}

bool ScreenPresenter::takeBell() {
  const bool ring = bell_;
  bell_ = false;
  return ring;
}

}  // namespace host
