// The line on the host's lock-screen charging view: built once per process, centred and filled
// at every load of a charging view, torn down by the next dealloc of one.
#include "common/settings_keys.h"
#include "platform/foundation/ns_locale.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_view.h"
#include "plugin/brimwell_state.h"
#include "plugin/host_methods.h"
#include "plugin/lock_screen_rules.h"
#include "plugin/plugin_settings.h"

namespace brimwell::plugin {

void replacementLoadView(id self, SEL cmd) {
  if (savedLoadView) reinterpret_cast<NoArgumentIMP>(savedLoadView)(self, cmd);
  const NSDictionary settings = readPluginSettings();
  if (!isContentViewInited) {
    objc_msgSend<void>(self, sel_registerName("initChargingTextView"));
    isContentViewInited = true;
  }
  objc_msgSend<void>(self, sel_registerName("setupContainViewCenter"));

  // Both may be missing if the class kept methods of its own under the added names.
  if (remainingTime) {
    remainingTime->setTextColor(
        lockScreenTextColor(settings.objectForKey(setting::kTextColor).intValue()));
  }
  if (UIView* view = objc_msgSend<UIView*>(self, sel_registerName("view")); view && containView) {
    view->addSubview(containView);
  }
  const ChargingTextSet& texts = chargingTextSetFor(NSLocale::preferredLanguages());
  const int32_t chargeMode = settings.objectForKey(setting::kChargeMode).intValue();
  const ChargingInputs inputs{isCharging,      externalConnected, externalChargeCapable,
                              currentCapacity, maxCapacity,       instantAmperage,
                              chargeMode};
  if (remainingTime) remainingTime->setText(chargingText(inputs, texts));
}

void initChargingTextView(id self, SEL) {
  containView = UIView::create(CGRectMake(0, 0, 320, 30));
  objc_msgSend<void>(self, sel_registerName("setupContainViewCenter"));
  containView->setBackgroundColor(UIColor::clearColor());
  remainingTime = UILabel::create(CGRectMake(0, 0, 320, 30));
  remainingTime->setFont(UIFont::systemFontOfSize(17));
  remainingTime->setTextAlignment(NSTextAlignmentCenter);
  remainingTime->setBackgroundColor(UIColor::clearColor());
  containView->addSubview(remainingTime);
}

void setupContainViewCenter(id, SEL) {
  const UIDevice* device = UIDevice::currentDevice();
  const bool isPad = device->respondsToSelector(sel_registerName("userInterfaceIdiom")) &&
                     device->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  // The orientation matters only on a pad.
  const long orientation = isPad ? UIApplication::sharedApplication()->statusBarOrientation() : 0;
  const UIScreen* screen = UIScreen::mainScreen();
  const CGSize size = screen ? screen->bounds().size : CGSize{};
  if (const auto center = containerCenter(size, isPad, orientation); center && containView) {
    containView->setCenter(*center);
  }
}

void replacementDealloc(id self, SEL cmd) {
  if (isContentViewInited) {
    // Either may be missing when the host class kept an initChargingTextView of its own; a
    // message to nothing does nothing, as on the device.
    if (remainingTime) remainingTime->removeFromSuperview();
    if (containView) containView->removeFromSuperview();
    if (remainingTime) remainingTime->release();
    if (containView) containView->release();
    // No dangling references in the exported state.
    remainingTime = nullptr;
    containView = nullptr;
    isContentViewInited = false;
  }
  if (savedDealloc) reinterpret_cast<NoArgumentIMP>(savedDealloc)(self, cmd);
}

}  // namespace brimwell::plugin
