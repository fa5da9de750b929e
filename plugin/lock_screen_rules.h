#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_geometry.h"

namespace brimwell::plugin {

// The lock-screen texts of one language.
struct ChargingTextSet {
  const char* title;
  const char* hourUnit;
  const char* minuteUnit;
  const char* complete;
  const char* calculating;
  const char* notCharging;
  const char* trickle;
};

// Exactly "zh-Hans" or "zh-Hant" first; anything else, and an empty list, gives English.
const ChargingTextSet& chargingTextSetFor(const std::vector<std::string>& preferredLanguages);

// The values the charging text depends on.
struct ChargingInputs {
  bool isCharging = false;
  bool externalConnected = false;
  bool externalChargeCapable = false;
  int32_t currentCapacity = 0;
  int32_t maxCapacity = 0;
  int32_t instantAmperage = 0;
  int32_t chargeMode = 0;
};

// The label's text: an estimate of the time to full, or a state text.
std::string chargingText(const ChargingInputs& in, const ChargingTextSet& texts);

// textColor 2 is black; every other value white.
UIColor lockScreenTextColor(int32_t textColor);

// Where the container's centre goes, or no change (a pad in an unknown orientation).
std::optional<CGPoint> containerCenter(CGSize screen, bool isPad, long orientation);

}  // namespace brimwell::plugin
