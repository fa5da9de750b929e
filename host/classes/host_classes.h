#pragma once

#include <functional>

#include "common/plist.h"
#include "platform/runtime/objc_runtime.h"

class UIView;

// The host's own classes, with their own methods, as the plug-ins find them.

// The home-screen application object. Its own batteryStatusDidChange: reports the call.
struct SpringBoard : objc_object {
  SpringBoard();
};

// A lock-screen charging view controller. Its own loadView builds the root view, its own
// view loads on first use, its own dealloc frees the controller.
struct SBLockScreenBatteryChargingViewController : objc_object {
  explicit SBLockScreenBatteryChargingViewController(int number);
  int number;
  UIView* rootView = nullptr;
};

struct HostListener {
  std::function<void()> batteryStatusDidChange;  // the host's own handler ran
};

// Defines both classes and their methods; call before loading plug-ins.
void registerHostClasses(HostListener listener);

// Gives the controller's root view, loading it first if need be (through the class's
// loadView, whoever implements it now).
UIView* controllerView(SBLockScreenBatteryChargingViewController* controller);

namespace host {
// Delivers one status change, as the host does on its user-interface thread.
void deliverStatus(SpringBoard& springBoard, const brimwell::Plist& dictionary);
}  // namespace host
