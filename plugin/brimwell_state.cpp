#include "plugin/brimwell_state.h"

extern "C" {
int32_t currentCapacity = 0;
int32_t maxCapacity = 0;
int32_t instantAmperage = 0;
int32_t designCapacity = 0;
int32_t cycleCount = 0;
int32_t temperature = 0;
bool isCharging = false;
bool externalConnected = false;
bool externalChargeCapable = false;
bool isContentViewInited = false;
UIView* containView = nullptr;
UILabel* remainingTime = nullptr;
void* batteryLevel = nullptr;
}

namespace brimwell::plugin {
IMP savedBatteryStatusDidChange = nullptr;
IMP savedLoadView = nullptr;
IMP savedDealloc = nullptr;
}  // namespace brimwell::plugin
