#pragma once

#include <cstdint>

#include "platform/runtime/objc_runtime.h"

class UIView;
class UILabel;

#define BRIMWELL_EXPORT __attribute__((visibility("default")))

// The plug-in's process-wide state. The thirteen exported variables start at zero when the
// library loads and live until the host process ends; the host calls in on one thread, so
// they are plain memory.
extern "C" {
BRIMWELL_EXPORT extern int32_t currentCapacity;
BRIMWELL_EXPORT extern int32_t maxCapacity;
BRIMWELL_EXPORT extern int32_t instantAmperage;
BRIMWELL_EXPORT extern int32_t designCapacity;
BRIMWELL_EXPORT extern int32_t cycleCount;
BRIMWELL_EXPORT extern int32_t temperature;
BRIMWELL_EXPORT extern bool isCharging;
BRIMWELL_EXPORT extern bool externalConnected;
BRIMWELL_EXPORT extern bool externalChargeCapable;
BRIMWELL_EXPORT extern bool isContentViewInited;
BRIMWELL_EXPORT extern UIView* containView;
BRIMWELL_EXPORT extern UILabel* remainingTime;
BRIMWELL_EXPORT extern void* batteryLevel;  // kept for compatibility; nothing uses it
}

// Private to the plug-in: the host's own implementations, saved by the hook table.
namespace brimwell::plugin {
using BatteryStatusDidChangeIMP = void (*)(id self, SEL cmd, id status);
using NoArgumentIMP = void (*)(id self, SEL cmd);

extern IMP savedBatteryStatusDidChange;
extern IMP savedLoadView;
extern IMP savedDealloc;
}  // namespace brimwell::plugin
