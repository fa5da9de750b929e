#pragma once

#include <cstddef>

// The seventeen label outlets of the main screen, in the order a refresh first touches them,
// each with whether the refresh gives it a colour. This one list makes the Outlet enum, the
// outlets' names, which are coloured, and the controller's outlet by place.
#define BID_OUTLETS(X)              \
  X(deviceLabel, false)             \
  X(currentBatteryLevel, true)      \
  X(batteryTempLabel, true)         \
  X(chargingOrDrainingLabel, false) \
  X(currentLabel, true)             \
  X(useOrRemainingLabel, false)     \
  X(remainingTimeLabel, false)      \
  X(batteryHeath, true)             \
  X(cycleLabel, false)              \
  X(currentCap, false)              \
  X(maxCap, false)                  \
  X(designCap, false)               \
  X(voltageLabel, false)            \
  X(outputLabel, false)             \
  X(fullyChargedLabel, false)       \
  X(manufacturerLabel, false)       \
  X(serialNumberLabel, false)

#define BID_OUTLET_ENUMERATOR(name, coloured) name,
enum class Outlet : size_t { BID_OUTLETS(BID_OUTLET_ENUMERATOR) };
#undef BID_OUTLET_ENUMERATOR

#define BID_OUTLET_ONE(name, coloured) +1
inline constexpr size_t kOutletCount = 0 BID_OUTLETS(BID_OUTLET_ONE);
#undef BID_OUTLET_ONE

// The outlet's name, as --once prints it.
inline const char* outletName(Outlet outlet) {
#define BID_OUTLET_NAME(name, coloured) #name,
  static constexpr const char* kNames[] = {BID_OUTLETS(BID_OUTLET_NAME)};
#undef BID_OUTLET_NAME
  return kNames[static_cast<size_t>(outlet)];
}

// Whether a refresh colours the outlet (the level, temperature, current and health).
inline bool outletIsColoured(Outlet outlet) {
#define BID_OUTLET_COLOURED(name, coloured) coloured,
  static constexpr bool kColoured[] = {BID_OUTLETS(BID_OUTLET_COLOURED)};
#undef BID_OUTLET_COLOURED
  return kColoured[static_cast<size_t>(outlet)];
}
