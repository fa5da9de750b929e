#pragma once

#include <cstdint>
#include <string>

class NSDictionary;

// One reading of the battery status file, turned into the numbers, flags and texts of the
// main screen. A plain model object: properties are public fields with no behaviour.
class BIDBatteryInfo {
 public:
  std::string levelMsg;
  std::string batteryTempMsg;
  std::string currentCapacityMsg;
  std::string currentMsg;
  std::string maxMsg;
  std::string designMsg;
  std::string cycleMsg;
  std::string voltageMsg;
  std::string healthMsg;
  std::string chargingCurrentMsg;
  std::string manufacturerMsg;
  std::string serialNumberMsg;
  int32_t currentCap = 0;
  int32_t maxCap = 0;
  int32_t instanceCurrent = 0;
  float currentLevel = 0.0f;        // percent, never above 100
  float batteryHealth = 0.0f;       // percent, not capped
  float batteryTemperature = 0.0f;  // whole degrees Celsius
  bool chargerIsPluggedIn = false;
  bool charging = false;
  bool isFullyCharged = false;

  // Reads the status file anew and sets every property, also when the file is missing.
  void getBatteryInfo();
};

// The part of getBatteryInfo after the file is read: every property from one dictionary
// (nil reads as every key absent).
void fillBatteryInfo(BIDBatteryInfo& info, const NSDictionary& status);
