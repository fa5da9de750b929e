#include "platform/uikit/ui_alert_view.h"

#include "platform/uikit/presenter.h"

namespace {
long gLiveAlerts = 0;
platform::Presenter* gPresenter = nullptr;
}  // namespace

namespace platform {
void setPresenter(Presenter* presenter) {
  gPresenter = presenter;
}
Presenter* currentPresenter() {
  return gPresenter;
}
}  // namespace platform

UIAlertView::UIAlertView() : NSObject("UIAlertView") {
  ++gLiveAlerts;
}
UIAlertView::~UIAlertView() {
  --gLiveAlerts;
}
long UIAlertView::liveAlerts() {
  return gLiveAlerts;
}

UIAlertView* UIAlertView::initWithTitle(std::string title, std::string message, id,
                                        std::string cancelButtonTitle, id) {
  title_ = std::move(title);
  message_ = std::move(message);
  button_ = std::move(cancelButtonTitle);
  return this;
}

void UIAlertView::show() {
  if (visible_) return;
  visible_ = true;
  retain();  // the screen's reference, given up by dismiss()
  if (platform::Presenter* p = platform::currentPresenter()) {
    p->showAlert(this);
  } else {
    dismiss();
  }
}

void UIAlertView::dismiss() {
  if (!visible_) return;
  visible_ = false;
  release();
}

UIAlertView* UIAlertView::retain() {
  ++references_;
  return this;
}

void UIAlertView::release() {
  if (--references_ == 0) delete this;
}
