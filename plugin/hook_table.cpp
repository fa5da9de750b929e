// The load-time constructor: installs the hook table, in this order, and does nothing else.
#include "plugin/brimwell_state.h"
#include "plugin/host_methods.h"

namespace brimwell::plugin {
namespace {

__attribute__((constructor)) void installHookTable() {
  Class springBoard = objc_getClass("SpringBoard");
  MSHookMessageEx(springBoard, sel_registerName("batteryStatusDidChange:"),
                  imp_cast(replacementBatteryStatusDidChange), &savedBatteryStatusDidChange);
  class_addMethod(springBoard, sel_registerName("popAlertView"), imp_cast(popAlertView), "v@:");
  class_addMethod(springBoard, sel_registerName("popDIYLevelAlertView"),
                  imp_cast(popDIYLevelAlertView), "v@:");
  class_addMethod(springBoard, sel_registerName("playVibrate"), imp_cast(playVibrate), "v@:");
  class_addMethod(springBoard, sel_registerName("playSound"), imp_cast(playSound), "v@:");
  class_addMethod(springBoard, sel_registerName("writeStatusToFile:"), imp_cast(writeStatusToFile),
                  "v@:@");

  Class chargingView = objc_getClass("SBLockScreenBatteryChargingViewController");
  MSHookMessageEx(chargingView, sel_registerName("loadView"), imp_cast(replacementLoadView),
                  &savedLoadView);
  MSHookMessageEx(chargingView, sel_registerName("dealloc"), imp_cast(replacementDealloc),
                  &savedDealloc);
  class_addMethod(chargingView, sel_registerName("initChargingTextView"),
                  imp_cast(initChargingTextView), "v@:");
  class_addMethod(chargingView, sel_registerName("setupContainViewCenter"),
                  imp_cast(setupContainViewCenter), "v@:");
}

}  // namespace
}  // namespace brimwell::plugin
