// The load-time constructor: installs the hook table, in this order, and does nothing else.
#include "plugin/brimwell_state.h"
#include "plugin/host_methods.h"

namespace brimwell::plugin {
namespace {

__attribute__((constructor)) void installHookTable() {
  Class springBoard = objc_getClass("SpringBoard");
  MSHookMessageEx(springBoard, sel_registerName("batteryStatusDidChange:"),
                  imp_cast(replacementBatteryStatusDidChange), &savedBatteryStatusDidChange);
  class_addMethod(springBoard, sel_registerName("popAlertView"), popAlertView);
  class_addMethod(springBoard, sel_registerName("popDIYLevelAlertView"), popDIYLevelAlertView);
  class_addMethod(springBoard, sel_registerName("playVibrate"), playVibrate);
  class_addMethod(springBoard, sel_registerName("playSound"), playSound);
  class_addMethod(springBoard, sel_registerName("writeStatusToFile:"), writeStatusToFile);

  Class chargingView = objc_getClass("SBLockScreenBatteryChargingViewController");
  MSHookMessageEx(chargingView, sel_registerName("loadView"), imp_cast(replacementLoadView),
                  &savedLoadView);
  MSHookMessageEx(chargingView, sel_registerName("dealloc"), imp_cast(replacementDealloc),
                  &savedDealloc);
  class_addMethod(chargingView, sel_registerName("initChargingTextView"), initChargingTextView);
  class_addMethod(chargingView, sel_registerName("setupContainViewCenter"), setupContainViewCenter);
}

}  // namespace
}  // namespace brimwell::plugin
