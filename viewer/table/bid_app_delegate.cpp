#include "viewer/table/bid_app_delegate.h"

#include "platform/uikit/ui_view.h"

void BIDAppDelegate::setWindow(UIView* window) {
  if (window) window->retain();
  if (window_) window_->release();
  window_ = window;
}
