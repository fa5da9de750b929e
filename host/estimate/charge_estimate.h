#pragma once

#include <deque>
#include <optional>
#include <utility>

#include "history/history_types.h"

// The host's estimates for the machine's own battery: a steady rate, the times it gives, and
// when to read the battery next. Pure: the host's clock comes in with every reading.
namespace host::estimate {

enum class ChargeState { charging, discharging, full, notCharging, unknown };
const char* stateWord(ChargeState state);  // "charging", "not-charging", ...

// One reading, all packs together.
struct Reading {
  double time = 0;  // the host's clock, seconds
  ChargeState state = ChargeState::unknown;
  bool externalPower = false;
  std::optional<double> powerW;        // the battery's power: + into it, - out of it
  std::optional<double> energyWh;      // now
  std::optional<double> fullWh;        // at full charge
  std::optional<double> limitPercent;  // the kernel's charge limit
  // What the packs will hold when each has reached its own limit (one already above its limit
  // holds what it holds); where given, the time to full runs to it rather than to limitPercent.
  std::optional<double> targetWh;
  // Whether energyWh is the drivers' own, fine enough that what went between two readings tells
  // the power (not worked out from a whole percent).
  bool storeFine = false;
};

// The battery's power, smoothed by an exponential average (time constant about 4 minutes,
// weighted by the time between readings; a plain mean until it spans that long), started afresh at
// every change of state or of external power and after a sleep, and not trusted for the first 10 s
// after that. Where the driver gives no power, the slope of the energy over at least two minutes;
// between readings half a minute or more apart, the energy that went over the time between.
class SteadyRate {
 public:
  static constexpr double kTimeConstant = 240;  // s
  static constexpr double kDistrusted = 10;     // s after a change
  static constexpr double kSlopeSpan = 120;     // s of energy readings for a slope
  static constexpr double kEnergySpan = 30;     // s between readings: the energy gone is the power
  static constexpr double kLowest = 0.1, kHighest = 300;  // W; outside, the rate is unknown

  void add(const Reading& reading, bool resumed = false);
  // Signed watts; none while unknown.
  std::optional<double> watts() const;

 private:
  void restart(const Reading& reading);
  std::optional<Reading> last_;
  double since_ = 0;        // when the present average started
  double lastPowered_ = 0;  // the last reading that gave a power
  std::optional<double> average_;
  int averaged_ = 0;                                // readings in the average since it started
  std::deque<std::pair<double, double>> energies_;  // (time, Wh) since the start, for a slope
  std::optional<std::pair<double, double>> moved_;  // (time, Wh) where the energy last moved
  bool energyMoves_ = false;                        // it has moved since the start
};

struct Times {
  std::optional<double> toEmptyMinutes, toFullMinutes;
};
// Beyond these a figure is absurd rather than useful.
inline constexpr double kLongestToEmptyMinutes = 240 * 60;
inline constexpr double kLongestToFullMinutes = 20 * 60;

// To empty: the energy over the rate. To full: the energy up to the charge limit (100 % without
// one) over the rate; 0 when held at the limit. With a profile learned from at least two
// charges that reached their limit, each percent above 80 takes the time it took them instead,
// so that the top of the charge, which slows down, is not promised too soon.
Times timesFor(const Reading& reading, std::optional<double> watts,
               const history::ChargeProfile* learned = nullptr);
inline constexpr int kChargesToLearnFrom = 2;

// When to read the battery next, in seconds: when the next whole percent is due at the steady
// rate, never sooner than 30 s and never later than 10 minutes.
inline constexpr double kSoonestLook = 30, kLatestLook = 600;
double secondsUntilNextLook(const Reading& reading, std::optional<double> watts);

}  // namespace host::estimate
