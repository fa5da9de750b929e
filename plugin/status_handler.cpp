// The replacement of SpringBoard's batteryStatusDidChange: and the status file export.
#include "common/status_keys.h"
#include "platform/foundation/ns_dictionary.h"
#include "plugin/alert_policy.h"
#include "plugin/brimwell_state.h"
#include "plugin/host_methods.h"
#include "plugin/plugin_settings.h"

namespace brimwell::plugin {
namespace {

// Private to the handler: whether each alert was given in this connection period.
AlertFlags gFlags;

const NSDictionary& asDictionary(id object) {
  static const NSDictionary nil;
  if (object && object->isa == objc_getClass("NSDictionary")) {
    return *static_cast<const NSDictionary*>(object);
  }
  return nil;
}

SEL selectorFor(AlertCall call) {
  switch (call) {
    case AlertCall::popDIYLevelAlertView:
      return sel_registerName("popDIYLevelAlertView");
    case AlertCall::popAlertView:
      return sel_registerName("popAlertView");
    case AlertCall::playVibrate:
      return sel_registerName("playVibrate");
    case AlertCall::playSound:
      return sel_registerName("playSound");
  }
  return nullptr;
}

}  // namespace

void replacementBatteryStatusDidChange(id self, SEL cmd, id status) {
  const NSDictionary& d = asDictionary(status);
  currentCapacity = d.objectForKey(key::kRawCurrentCapacity).intValue();
  maxCapacity = d.objectForKey(key::kRawMaxCapacity).intValue();
  designCapacity = d.objectForKey(key::kDesignCapacity).intValue();
  cycleCount = d.objectForKey(key::kCycleCount).intValue();
  temperature = d.objectForKey(key::kTemperature).intValue();
  instantAmperage = d.objectForKey(key::kInstantAmperage).intValue();
  isCharging = d.objectForKey(key::kIsCharging).boolValue();
  externalConnected = d.objectForKey(key::kExternalConnected).boolValue();
  externalChargeCapable = d.objectForKey(key::kExternalChargeCapable).boolValue();
  const bool fullyCharged = d.objectForKey(key::kFullyCharged).boolValue();

  objc_msgSend<void>(self, sel_registerName("writeStatusToFile:"), status);

  // A laptop battery known only by its driver's word has no charge to test: its missing
  // capacities read as 0 and 0 would be a charge complete.
  const bool chargeKnown = d.objectForKey(key::kBatteryLevelWord).isNil();
  if (!externalConnected && !externalChargeCapable) {
    gFlags = AlertFlags{};  // the connection period ends: both alerts re-armed
  } else if (chargeKnown) {
    const AlertSettings settings = alertSettingsFrom(readPluginSettings());
    const AlertPlan plan =
        planAlerts(ChargeState{currentCapacity, maxCapacity, fullyCharged}, settings, gFlags);
    for (size_t i = 0; i < plan.count; ++i) objc_msgSend<void>(self, selectorFor(plan.calls[i]));
    gFlags = plan.flags;
  }

  if (savedBatteryStatusDidChange) {
    reinterpret_cast<BatteryStatusDidChangeIMP>(savedBatteryStatusDidChange)(self, cmd, status);
  }
}

void writeStatusToFile(id, SEL, id status) {
  // The outcome is not examined: a failed write leaves the previous file, and the next change
  // writes again.
  asDictionary(status).writeToFile(kBatteryStatusPath, true);
}

}  // namespace brimwell::plugin
