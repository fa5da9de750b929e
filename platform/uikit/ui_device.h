#pragma once

#include "platform/api.h"
#include "platform/runtime/objc_runtime.h"
#include "platform/uikit/ui_geometry.h"

// Facts of the simulated device: SIM_SCREEN ("WxH" points), SIM_IDIOM (phone, pad, or none
// for a device that does not answer the idiom question) and SIM_ORIENTATION.

class PLATFORM_API UIScreen {
 public:
  // Null when the device has no screen to report (SIM_SCREEN that is not "WxH").
  static UIScreen* mainScreen();
  CGRect bounds() const { return bounds_; }

 private:
  CGRect bounds_;
};

enum UIUserInterfaceIdiom : long {
  UIUserInterfaceIdiomUnspecified = -1,
  UIUserInterfaceIdiomPhone = 0,
  UIUserInterfaceIdiomPad = 1,
};

class PLATFORM_API UIDevice {
 public:
  static UIDevice* currentDevice();
  bool respondsToSelector(SEL selector) const;
  UIUserInterfaceIdiom userInterfaceIdiom() const;
};

using UIInterfaceOrientation = long;

class PLATFORM_API UIApplication {
 public:
  static UIApplication* sharedApplication();
  UIInterfaceOrientation statusBarOrientation() const;
};
