#pragma once

#include <string>

#include "platform/api.h"

class UIAlertView;

namespace platform {

// Where a process's dialogs and sounds go: each process installs one that draws them on its
// screen or records them. Without one, dialogs close at once and sounds are silent.
class PLATFORM_API Presenter {
 public:
  virtual ~Presenter() = default;
  // The dialog is on screen until the presenter calls dismiss() on it.
  virtual void showAlert(UIAlertView* alert) = 0;
  virtual void vibrate() = 0;
  // A sound file that exists on the device, by its device path.
  virtual void playSound(const std::string& devicePath) = 0;
  // Takes a dialog down that the user has not closed (one that a newer one replaces, or that
  // no longer holds); a presenter that closes dialogs at once has nothing to do.
  virtual void withdrawAlert(UIAlertView*) {}
};

PLATFORM_API void setPresenter(Presenter* presenter);
PLATFORM_API Presenter* currentPresenter();  // null when none is installed

}  // namespace platform
