#pragma once

#include <deque>
#include <optional>
#include <string>
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
  // Which packs are in: a pack taken out or put in moves the energy by what it holds.
  std::string packs;
  // The driver's own percent where it is the level shown (one pack that gives it); else the
  // level shown is worked out from the energy and rounded.
  std::optional<double> driverPercent;
};

// How a driver's whole percent follows its level: cut (it turns at each whole percent, as an
// integer division does) or rounded (it turns at each half); unknown until its readings show it.
enum class PercentSteps { unknown, cuts, rounds };

// The battery's power, smoothed by an exponential average (time constant about 4 minutes,
// weighted by the time between readings; a plain mean until it spans that long), started afresh at
// every change of state, of external power or of the packs that are in, and after a sleep, and not
// trusted for the first 10 s after that. A power of exactly 0 is no reading. Where the driver gives
// no power, the slope of the energy over at least two minutes (between whole steps, where it moves
// only by a whole percent); between readings half a minute or more apart, the energy that went over
// the time between, unless more than twice the strongest power read meanwhile could draw (a gauge
// putting its figure right).
class SteadyRate {
 public:
  static constexpr double kTimeConstant = 240;  // s
  static constexpr double kDistrusted = 10;     // s after a change
  static constexpr double kSlopeSpan = 120;     // s of energy readings for a slope
  static constexpr double kEnergySpan = 30;     // s between readings: the energy gone is the power
  static constexpr double kLowest = 0.1, kHighest = 300;  // W; outside, the rate is unknown
  static constexpr double kStepBeyondPower = 2;  // the energy gone over the strongest power read

  void add(const Reading& reading, bool resumed = false);
  // Signed watts; none while unknown.
  std::optional<double> watts() const;
  // Whether the rate has run for its time constant since it last started afresh.
  bool settled() const;

 private:
  void restart(const Reading& reading);
  std::optional<double> energyWent(const Reading& reading, std::optional<double> power, double dt,
                                   bool& lags);
  void keepForSlope(const Reading& reading, const Reading* before);
  std::optional<double> slope() const;
  std::optional<Reading> last_;
  double since_ = 0;        // when the present average started
  double lastPowered_ = 0;  // the last reading that gave a power
  std::optional<double> average_;
  int averaged_ = 0;                                // readings in the average since it started
  std::deque<std::pair<double, double>> energies_;  // (time, Wh) for a slope
  std::optional<std::pair<double, double>> moved_;  // (time, Wh) where the energy last moved
  double strongest_ = 0;                            // W: the strongest power read since then
  bool energyMoves_ = false;                        // it has moved since the start
  double step_ = 0;                                 // Wh: a whole-percent store's last step
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

// When to read the battery next, in seconds: every 30 s until the rate has settled; then when the
// level shown next turns at the steady rate, never sooner than 30 s and never later than 10
// minutes. A driver's percent known to cut turns at the next whole percent, one known to round at
// the next half past the middle, each looked at a moment after; one not yet known, or a level of
// our own (shown rounded), at the next whole or half percent.
inline constexpr double kSoonestLook = 30, kLatestLook = 600;
inline constexpr double kPastTurn = 5;  // s after the turn: the driver has surely turned
double secondsUntilNextLook(const Reading& reading, std::optional<double> watts, bool settled,
                            PercentSteps steps = PercentSteps::unknown);

}  // namespace host::estimate
