#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/settings_keys.h"

// When to warn that the battery runs low, and when to take the last action: a pure function of
// the settings, the readings and the host's clock, so that a descent replays in a table.
namespace host::low_battery {

enum class Action { none, suspend, hibernate, hybridSleep, poweroff, command };
enum class Stage { low, critical, action };

struct Settings {
  // Percentages at or below which each stage acts; 0 turns that stage off.
  int lowLevel = brimwell::low_battery_default::kLowLevel;
  int criticalLevel = brimwell::low_battery_default::kCriticalLevel;
  int actionLevel = brimwell::low_battery_default::kActionLevel;
  Action action = Action::none;
  std::string command;  // run through /bin/sh -c for Action::command
  // Seconds between announcing the action and taking it.
  double actionDelay = brimwell::low_battery_default::kLowActionDelay;
  // At or below the critical level, warn again this often; 0: never.
  double repeatMinutes = brimwell::low_battery_default::kLowRepeatMinutes;
  // The low warning also when the time to empty (the steady one, or the present draw's where
  // that is less) falls below this; 0: by level only.
  double lowMinutes = brimwell::low_battery_default::kLowMinutes;
};

// Where a battery gives its level only in a word (no percent): its low and critical words, or
// one above them.
enum class WordLevel { critical, low, fine };

// One reading of the battery as the policy needs it.
struct Reading {
  double time = 0;                // the host's clock, seconds
  std::optional<double> level;    // percent, all packs together
  std::optional<WordLevel> word;  // where there is no level: the driver's word, if it gives one
  bool externalPower = false;     // as the status says it, a charger that does not keep up too
  bool draws = false;             // the battery gives a real draw (the estimator's lowest rate)
  std::optional<double> minutesToEmpty;
};

// External power counts as back only once it has held this long: a loose plug, or a charger
// that cannot run the machine, comes and goes within seconds, and a USB-C charger that
// renegotiates is back within a few. A charger plugged in just before the action still stops it.
inline constexpr double kPowerHoldsSeconds = 10;
// Each stage (low, critical, the countdown) speaks at most once in this long.
inline constexpr double kResendSeconds = 60;
// A level that falls this many whole points, reading after reading, drains whatever the status
// word says.
inline constexpr int kFallingPoints = 3;

// What the host is to do, in order.
struct Event {
  enum Kind {
    warn,      // stage low or critical: a warning with the level and the time left
    announce,  // the action will be taken at `at` unless cancelled
    act,       // take the action now
    cancel,    // the announced action will not be taken
    withdraw,  // external power came: take the warnings down
  };
  explicit Event(Kind k, Stage s = Stage::low) : kind(k), stage(s) {}
  Kind kind;
  Stage stage;
  double level = 0;
  bool byWord = false;  // warn: the battery gave only its word, no level
  std::optional<double> minutesToEmpty;
  double at = 0;           // announce: when the action is due
  double delay = 0;        // announce: the seconds it gives
  bool chargerIn = false;  // external power is there, and the battery drains all the same
};

// What the readings on external power tell of a battery that drains all the same.
struct Trend {
  bool drew = false;            // the reading before gave a real draw
  std::optional<int> previous;  // the whole level the reading before
  int top = 0;                  // the whole level the present fall started from
  int drops = 0;                // the readings that fell since
};

// What the policy remembers between readings.
struct State {
  bool lowArmed = true, criticalArmed = true, actionArmed = true;
  std::optional<double> actionAt;  // an announced action's time
  std::optional<double> nextRepeat;
  bool warned = false;  // a warning is up, to be withdrawn when power comes
  // Kept when external power comes back:
  std::optional<double> powerSince;           // external power seen since
  bool powerBack = false;                     // it held long enough to count
  std::array<std::optional<double>, 3> sent;  // when each stage last spoke
  std::optional<double> heldBack;             // a stage due then speaks, a minute after its last
  // A countdown that power stopped before the battery gained anything resumes with what it had
  // left, so that a charger that comes and goes cannot put the action off for ever.
  std::optional<double> owed;
  double owedLevel = 0;  // the countdown's level
  Trend trend;
};

// The events for a new reading.
std::vector<Event> onReading(const Settings& settings, State& state, const Reading& reading);
// The events when the host's clock reaches `time` with no new reading (an announced action is
// due, external power has held, a stage held back may speak, a critical warning to repeat),
// given the last reading.
std::vector<Event> onTime(const Settings& settings, State& state, const Reading& last, double time);
// The user cancelled the announced action.
std::vector<Event> onCancel(State& state);
// The machine slept: whatever was counted before it is stale; the next reading decides afresh.
std::vector<Event> onResume(State& state);
// When onTime has something to do; none while nothing is pending.
std::optional<double> nextDeadline(const State& state);

// Levels that a hand-edited file gives out of order are used sorted (low above critical above
// action, among those that are on); none when they were in order, else a line saying so.
std::optional<std::string> putInOrder(Settings& settings);

const char* actionName(Action action);
std::optional<Action> actionNamed(const std::string& name);

}  // namespace host::low_battery
