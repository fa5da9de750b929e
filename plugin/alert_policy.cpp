#include "plugin/alert_policy.h"

#include "common/charge_arithmetic.h"
#include "common/saturating_truncate.h"

namespace brimwell::plugin {

int32_t chargePercent(int32_t currentCapacity, int32_t maxCapacity) {
  // Single precision matters at the edges: 530 of 1000 gives 52.
  return saturatingTruncate(percentOf(currentCapacity, maxCapacity));
}

bool chargingComplete(int32_t chargeMode, const ChargeState& state) {
  switch (chargeMode) {
    case 0:
    case 1:
      return state.currentCapacity == state.maxCapacity;
    case 2:
      return state.fullyCharged;
    default:
      return false;
  }
}

AlertPlan planAlerts(const ChargeState& state, const AlertSettings& settings, AlertFlags flags) {
  AlertPlan plan;
  plan.flags = flags;

  // 0 and 100 both switch the level alert off.
  if (settings.alertLevel != 0 && settings.alertLevel != 100 &&
      chargePercent(state.currentCapacity, state.maxCapacity) >= settings.alertLevel &&
      !plan.flags.alertLevelFlag) {
    plan.add(AlertCall::popDIYLevelAlertView);
    if (settings.isVibrate) plan.add(AlertCall::playVibrate);
    if (settings.isSound) plan.add(AlertCall::playSound);
    plan.flags.alertLevelFlag = true;
  }

  if (!chargingComplete(settings.chargeMode, state)) return plan;

  if (settings.isRepeat) {
    // Only the dialog is limited to once a period; vibration and sound come every time.
    if (settings.isPopAlert && !plan.flags.repeatFlag) {
      plan.add(AlertCall::popAlertView);
      plan.flags.repeatFlag = true;
    }
    if (settings.isVibrate) plan.add(AlertCall::playVibrate);
    if (settings.isSound) plan.add(AlertCall::playSound);
  } else if (!plan.flags.repeatFlag) {
    if (settings.isPopAlert) plan.add(AlertCall::popAlertView);
    if (settings.isVibrate) plan.add(AlertCall::playVibrate);
    if (settings.isSound) plan.add(AlertCall::playSound);
    plan.flags.repeatFlag = true;  // also when nothing was switched on
  }
  return plan;
}

}  // namespace brimwell::plugin
