#include "host/classes/host_classes.h"

#include "platform/foundation/ns_dictionary.h"
#include "platform/foundation/ns_object.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_view.h"

namespace {

HostListener gListener;

void springBoardBatteryStatusDidChange(id, SEL, id) {
  if (gListener.batteryStatusDidChange) gListener.batteryStatusDidChange();
}

SBLockScreenBatteryChargingViewController* asController(id self) {
  return static_cast<SBLockScreenBatteryChargingViewController*>(self);
}

void controllerLoadView(id self, SEL) {
  const UIScreen* screen = UIScreen::mainScreen();
  const CGRect bounds = screen ? screen->bounds() : CGRect{};
  UIView* root = UIView::create(bounds);
  root->setBackgroundColor(UIColor::blackColor());
  SBLockScreenBatteryChargingViewController* c = asController(self);
  if (c->rootView) c->rootView->release();
  c->rootView = root;
}

UIView* controllerViewMethod(id self, SEL) {
  SBLockScreenBatteryChargingViewController* c = asController(self);
  if (!c->rootView) objc_msgSend<void>(self, sel_registerName("loadView"));
  return c->rootView;
}

void controllerDealloc(id self, SEL) {
  SBLockScreenBatteryChargingViewController* c = asController(self);
  if (c->rootView) c->rootView->release();
  delete c;
}

Class defineClass(const char* name) {
  Class cls = objc_allocateClassPair(platform::platformClass("NSObject"), name, 0);
  objc_registerClassPair(cls);
  return cls;
}

}  // namespace

SpringBoard::SpringBoard() {
  isa = objc_getClass("SpringBoard");
}

SBLockScreenBatteryChargingViewController::SBLockScreenBatteryChargingViewController(int n)
    : number(n) {
  isa = objc_getClass("SBLockScreenBatteryChargingViewController");
}

void registerHostClasses(HostListener listener) {
  gListener = std::move(listener);
  if (objc_getClass("SpringBoard")) return;
  Class springBoard = defineClass("SpringBoard");
  class_addMethod(springBoard, sel_registerName("batteryStatusDidChange:"),
                  springBoardBatteryStatusDidChange);
  Class controller = defineClass("SBLockScreenBatteryChargingViewController");
  class_addMethod(controller, sel_registerName("loadView"), controllerLoadView);
  class_addMethod(controller, sel_registerName("view"), controllerViewMethod);
  class_addMethod(controller, sel_registerName("dealloc"), controllerDealloc);
}

UIView* controllerView(SBLockScreenBatteryChargingViewController* controller) {
  return objc_msgSend<UIView*>(controller, sel_registerName("view"));
}

namespace host {

void deliverStatus(SpringBoard& springBoard, const brimwell::Plist& dictionary) {
  NSDictionary status(dictionary.copy());
  objc_msgSend<void>(&springBoard, sel_registerName("batteryStatusDidChange:"), &status);
}

}  // namespace host
