#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

class NSDictionary;

// What the host adds to a laptop's status (a phone's status has none of it): the drivers' own
// percentage, its estimates (minutes; 65535 while it cannot yet tell), the battery's power, its
// energy now and at full charge where the drivers report energy, the charge limit, and a state word
// ("charging", "discharging", "full", "not-charging", "unknown").
struct LaptopFigures {
  std::optional<int32_t> percent;
  std::optional<int32_t> minutesToEmpty, minutesToFull;
  std::optional<int32_t> powerMilliwatts;
  std::optional<int32_t> chargeLimit;
  std::string state;
  std::optional<int32_t> energyMilliwattHours = std::nullopt;  // where the drivers report energy
  std::optional<int32_t> energyFullMilliwattHours = std::nullopt;
  // Where no percent can be had: the driver's word for the level ("Low"), or "Unknown".
  std::optional<std::string> levelWord = std::nullopt;
  bool fullOnce = false;  // a "full once" holds the limit at 100 % until external power goes
};

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
  // Beyond the device's own reader: the laptop's figures where the status carries them, the
  // status keys that this reading lacks, and whether the host said the battery is gone.
  std::optional<LaptopFigures> laptop;
  std::set<std::string> absentKeys;
  bool batteryGone = false;
  std::optional<double> writtenAt;  // the status file's time, seconds since 1970

  // Reads the status file anew and sets every property, also when the file is missing.
  void getBatteryInfo();
};

// Whether the reading found a status: one with a capacity, as every status a host writes has, or a
// laptop's whose level is only a word.
bool holdsAStatus(const BIDBatteryInfo& info);

// The part of getBatteryInfo after the file is read: every property from one dictionary
// (nil reads as every key absent).
void fillBatteryInfo(BIDBatteryInfo& info, const NSDictionary& status);
