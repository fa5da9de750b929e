// The plug-in's settings file: any bytes, read the way the handler and the lock screen read it,
// then run through the alert policy and the charging text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/plist.h"
#include "common/string_number_rules.h"
#include "platform/foundation/ns_dictionary.h"
#include "plugin/alert_policy.h"
#include "plugin/lock_screen_rules.h"
#include "plugin/plugin_settings.h"

using namespace brimwell::plugin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  (void)brimwell::stringIntValue(bytes);
  (void)brimwell::stringBoolValue(bytes);

  brimwell::Plist parsed = brimwell::Plist::fromMemory(bytes);
  if (parsed && !parsed.isDictionary()) parsed.reset();
  const NSDictionary settings(std::move(parsed));
  const AlertSettings s = alertSettingsFrom(settings);
  // The charge state comes from the same bytes, so extreme capacities are reached too.
  const int32_t current = settings.objectForKey("AppleRawCurrentCapacity").intValue();
  const int32_t max = settings.objectForKey("AppleRawMaxCapacity").intValue();
  AlertFlags flags;
  for (int round = 0; round < 3; ++round) {
    const AlertPlan plan = planAlerts(ChargeState{current, max, s.isRepeat}, s, flags);
    if (plan.count > plan.calls.size()) __builtin_trap();
    flags = plan.flags;
  }
  ChargingInputs in;
  in.isCharging = s.isPopAlert;
  in.externalConnected = s.isVibrate;
  in.externalChargeCapable = s.isSound;
  in.currentCapacity = current;
  in.maxCapacity = max;
  in.instantAmperage = s.alertLevel;
  in.chargeMode = s.chargeMode;
  (void)chargingText(in, chargingTextSetFor({"zh-Hans"}));
  (void)lockScreenTextColor(settings.objectForKey("textColor").intValue());
  return 0;
}
