#pragma once

#include <string>

#include "platform/api.h"
#include "platform/foundation/ns_object.h"

// A dialog with a title, a message and one button that closes it. show() returns at once; the
// platform keeps the dialog alive while it is on screen, so its maker may release it at once.
class PLATFORM_API UIAlertView : public NSObject {
 public:
  static UIAlertView* alloc() { return new UIAlertView(); }
  UIAlertView* initWithTitle(std::string title, std::string message, id delegate,
                             std::string cancelButtonTitle, id otherButtonTitles);
  void show();
  // Closes it: the presenter's call when the user presses the button.
  void dismiss();

  UIAlertView* retain();
  void release();

  const std::string& title() const { return title_; }
  const std::string& message() const { return message_; }
  const std::string& cancelButtonTitle() const { return button_; }
  bool isVisible() const { return visible_; }

  static long liveAlerts();

 private:
  UIAlertView();
  ~UIAlertView();
  long references_ = 1;
  bool visible_ = false;
  std::string title_, message_, button_;
};
