#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the battery's history keeps: plain values, shared by the host that writes them and the
// viewer that draws them.
namespace history {

// One moment of the battery, as the host saw it. Times are seconds since 1970.
struct Sample {
  double time = 0;
  double level = 0;              // percent
  std::optional<double> powerW;  // + into the battery, - out of it
  std::string state;             // "charging", "discharging", "full", "not-charging", "unknown"
  bool externalPower = false;
  std::optional<double> minutesToEmpty, minutesToFull;  // the host's, where known
};

// One sleep of the machine and what it cost the battery; absent values were not told.
struct SleepEntry {
  double start = 0, end = 0;  // seconds since 1970
  double levelBefore = 0, levelAfter = 0;
  std::optional<double> energyLostWh, meanMilliwatts;
  std::optional<double> percentPerHour;  // none for a sleep too short to tell one
  std::string state;           // the kernel's: "s2idle", "deep", "hibernate"; "" when not told
  bool externalPower = false;  // online at either end: no drain
  std::optional<double> hwSleepSeconds;  // the time the hardware really slept
  std::optional<std::string> wakeup;     // what woke the machine
};

// One pack's wear, once a day and at each end of a full charge.
struct HealthEntry {
  double time = 0;
  std::string model, serial;
  int32_t designCapacity = 0;      // mAh
  int32_t fullChargeCapacity = 0;  // mAh
  std::optional<int32_t> cycleCount;
};

// What the charges that reached their limit teach: the seconds a percent took, for each whole
// percent from 80 up to 99 (index 0 is 80 % to 81 %), averaged over those charges; none where no
// charge passed that percent.
struct ChargeProfile {
  static constexpr int kFrom = 80, kSteps = 20;
  std::vector<std::optional<double>> secondsPerPercent = std::vector<std::optional<double>>(kSteps);
  int charges = 0;  // how many charges it was learned from
};

// Why a write failed, and what it means for the next one: it may pass (another program holds
// the database for a moment, the disk is full), the database is damaged (set it aside and start
// afresh), or it will not pass (a read-only file or folder).
enum class Trouble { passing, damaged, lasting };
struct Failure {
  std::string why;
  Trouble trouble = Trouble::lasting;
};

}  // namespace history
