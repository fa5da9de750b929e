#pragma once

#include "platform/runtime/objc_runtime.h"

// The plug-in's implementations of host methods: the replacements and the added operations.
// The hook table installs them; nothing calls them directly.
namespace brimwell::plugin {

// SpringBoard
void replacementBatteryStatusDidChange(id self, SEL cmd, id status);
void writeStatusToFile(id self, SEL cmd, id status);
void popAlertView(id self, SEL cmd);
void popDIYLevelAlertView(id self, SEL cmd);
void playVibrate(id self, SEL cmd);
void playSound(id self, SEL cmd);

// SBLockScreenBatteryChargingViewController
void replacementLoadView(id self, SEL cmd);
void replacementDealloc(id self, SEL cmd);
void initChargingTextView(id self, SEL cmd);
void setupContainViewCenter(id self, SEL cmd);

}  // namespace brimwell::plugin
