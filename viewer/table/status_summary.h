#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"
#include "viewer/devices/known_device.h"

class BIDBatteryInfo;

// One reading as scripts and status bars take it: each figure as the screen shows it, or none
// where the status lacks its key (a battery without a sensor has no temperature, not 0).
struct StatusSummary {
  bool hasStatus = false;
  std::string model;
  std::optional<double> level;           // percent: the drivers' own where the status carries it
  std::optional<std::string> levelWord;  // where no percent can be had: the driver's word
  std::optional<double> temperature, health;
  std::optional<int32_t> current, cycleCount, capacity, fullCapacity, designCapacity, voltage,
      chargerCurrent, chargeLimit;
  std::optional<int64_t> minutesToEmpty, minutesToFull;
  bool chargeFullOnce = false;  // a laptop's limit lifted to 100 % until external power goes
  bool estimating = false;      // the host cannot yet tell the time the charge goes
  std::optional<bool> chargerConnected, charging, fullyCharged;
  std::optional<std::string> manufacturer, serial, state;
  std::optional<double> powerW;
  std::optional<double> energyWh, energyFullWh;  // a laptop's, where its drivers report energy
  std::optional<double> writtenAt;               // the status file's time, seconds since 1970
  bool laptop = false;  // a laptop's status: the last sleep is said, or null
  std::optional<history::SleepEntry> lastSleep;
  std::vector<KnownDevice> devices;  // the user's other batteries, as the host lists them
};

StatusSummary summarize(const std::string& model, const BIDBatteryInfo& info);

// The way the charge goes in a word, for a phone's status that does not say it.
std::string stateOf(const BIDBatteryInfo& info);

// "2026-12-08T10:02:07+01:00", local time.
std::string isoLocalTime(double secondsSince1970);

// The host's longest wait between two readings of the battery, with a minute to spare: a status
// file older than this is stale.
inline constexpr double kStaleAfterSeconds = 11 * 60;
