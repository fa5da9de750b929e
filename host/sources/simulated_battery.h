#pragma once

#include <cstdint>
#include <random>

#include "common/plist.h"

namespace host {

// A phone's lithium-ion cell: constant-current charging near 1 A up to 80 %, a tapering
// current after that until it reports full and stops, a varying discharge off the charger,
// and voltage and temperature that follow charge and current. Time is simulated seconds.
class SimulatedBattery {
 public:
  static constexpr double kDesignCapacity = 1810;  // mAh, when new
  static constexpr double kFullCapacity = 1715;    // mAh, worn after 212 cycles
  static constexpr int kCycleCount = 212;
  static constexpr double kChargeCurrent = 1000;     // mA, the constant-current phase
  static constexpr double kTaperStart = 0.8;         // fraction of full where the taper begins
  static constexpr double kTerminationCurrent = 40;  // mA: below it, charging stops as full

  SimulatedBattery(double startPercent, bool chargerConnected, uint32_t seed = 1);

  void setChargerConnected(bool connected);
  void advance(double seconds);

  // The host's status dictionary for the present state.
  brimwell::Plist statusDictionary() const;

  double charge() const { return charge_; }  // mAh
  double percent() const { return charge_ / kFullCapacity * 100.0; }
  double current() const { return current_; }          // mA; positive into the battery
  double voltage() const { return voltage_; }          // mV
  double temperature() const { return temperature_; }  // degrees Celsius
  bool chargerConnected() const { return charger_; }
  bool isCharging() const { return charger_ && !full_; }
  bool fullyCharged() const { return full_; }
  double elapsed() const { return elapsed_; }

 private:
  void step(double dt);

  double charge_;
  bool charger_;
  bool full_ = false;
  double current_ = 0;
  double averageCurrent_ = 0;
  double load_ = 300;  // mA the phone draws off the charger
  double voltage_ = 0;
  double temperature_ = 27;
  double elapsed_ = 0;
  std::mt19937 random_;
};

// Whether a new state is worth a status change: a flag changed, or a value moved by more than
// its noise (1 mAh, 10 mA, 0.1 °C, 5 mV).
bool changedNoticeably(const brimwell::Plist& last, const brimwell::Plist& now);

}  // namespace host
