#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace brimwell::plugin {

// What the handler knows of one status record, for the alerts.
struct ChargeState {
  int32_t currentCapacity = 0;
  int32_t maxCapacity = 0;
  bool fullyCharged = false;
};

// The six settings the handler reads, each 0/NO when missing.
struct AlertSettings {
  bool isRepeat = false;
  bool isPopAlert = false;
  bool isVibrate = false;
  bool isSound = false;
  int32_t chargeMode = 0;
  int32_t alertLevel = 0;
};

// Each alert once per connection period: set when given, cleared when the power goes.
struct AlertFlags {
  bool repeatFlag = false;
  bool alertLevelFlag = false;
  bool operator==(const AlertFlags& o) const {
    return repeatFlag == o.repeatFlag && alertLevelFlag == o.alertLevelFlag;
  }
};

enum class AlertCall { popDIYLevelAlertView, popAlertView, playVibrate, playSound };

// The calls to make, in order, and the flags afterwards. At most six calls.
struct AlertPlan {
  std::array<AlertCall, 6> calls{};
  size_t count = 0;
  AlertFlags flags;
  void add(AlertCall call) { calls[count++] = call; }
};

// The charge in whole percent: single-precision quotient times 100, truncated and saturated.
int32_t chargePercent(int32_t currentCapacity, int32_t maxCapacity);

// Whether charging counts as complete under the chosen test.
bool chargingComplete(int32_t chargeMode, const ChargeState& state);

// The alert policy for a status record with external power: level alert first, then the
// completion alert, each as dialog, vibration, sound.
AlertPlan planAlerts(const ChargeState& state, const AlertSettings& settings, AlertFlags flags);

}  // namespace brimwell::plugin
