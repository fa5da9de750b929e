#include "host/low_battery/low_battery_policy.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace host::low_battery {
namespace {

// A stage is re-armed once the level is this many points above it.
constexpr double kRearmPoints = 2;

bool reached(int stageLevel, double level) {
  return stageLevel > 0 && level <= stageLevel;
}

// The time to empty is re-armed this many minutes above its bound.
constexpr double kRearmMinutes = 5;

bool lowByTime(const Settings& s, const Reading& r) {
  return s.lowMinutes > 0 && r.minutesToEmpty && *r.minutesToEmpty < s.lowMinutes;
}

void rearmAbove(const Settings& s, State& st, const Reading& r) {
  const double level = *r.level;
  const bool timeClear =
      s.lowMinutes <= 0 || !r.minutesToEmpty || *r.minutesToEmpty >= s.lowMinutes + kRearmMinutes;
  if (level >= s.lowLevel + kRearmPoints && timeClear) st.lowArmed = true;
  if (level >= s.criticalLevel + kRearmPoints) {
    st.criticalArmed = true;
    st.nextRepeat.reset();
  }
  if (level >= s.actionLevel + kRearmPoints) st.actionArmed = true;
}

Event warning(Stage stage, const Reading& r) {
  Event e{Event::warn};
  e.stage = stage;
  e.level = *r.level;
  e.minutesToEmpty = r.minutesToEmpty;
  e.chargerIn = r.externalPower;
  return e;
}

// On external power as the status says: a charger that does not keep up (a real draw at this
// reading and the one before), or a level that keeps falling, is a battery that drains.
bool drainsAllTheSame(Trend& t, const Reading& r) {
  const bool drawHeld = r.draws && t.drew;
  t.drew = r.draws;
  if (!r.level) return drawHeld;
  const int whole = static_cast<int>(std::floor(*r.level));
  if (!t.previous || whole > *t.previous) {
    t.top = whole;
    t.drops = 0;
  } else if (whole < *t.previous) {
    ++t.drops;
  }
  t.previous = whole;
  return drawHeld || (t.drops >= 2 && t.top - whole >= kFallingPoints);
}

bool powerPending(const State& st) {
  return st.powerSince && !st.powerBack;
}

// External power held: nothing is pending, everything is armed again. What a countdown had left
// is kept until the battery gains.
void powerBack(State& st, const std::optional<double>& level, std::vector<Event>& events) {
  st.powerBack = true;
  if (st.actionAt) {
    events.push_back(Event{Event::cancel, Stage::action});
    if (level && *level <= st.owedLevel) st.owed = std::max(0.0, *st.actionAt - *st.powerSince);
  }
  if (st.warned) events.push_back(Event{Event::withdraw});
  st.lowArmed = st.criticalArmed = st.actionArmed = true;
  st.actionAt.reset();
  st.nextRepeat.reset();
  st.heldBack.reset();
  st.warned = false;
}

// Whether a stage may speak now; one that spoke less than a minute ago is held back till then.
bool mayShow(State& st, Stage stage, double time) {
  std::optional<double>& last = st.sent[static_cast<size_t>(stage)];
  if (last && time < *last + kResendSeconds) {
    st.heldBack = *last + kResendSeconds;
    return false;
  }
  last = time;
  st.heldBack.reset();
  return true;
}

// Only the most severe stage that is due speaks; the lesser ones are then passed.
void speak(const Settings& s, State& st, const Reading& r, std::vector<Event>& events) {
  const double level = *r.level;
  Stage stage;
  if (s.action != Action::none && reached(s.actionLevel, level) && st.actionArmed) {
    stage = Stage::action;
  } else if (reached(s.criticalLevel, level) && st.criticalArmed) {
    stage = Stage::critical;
  } else if ((reached(s.lowLevel, level) || lowByTime(s, r)) && st.lowArmed) {
    stage = Stage::low;
  } else {
    return;
  }
  if (!mayShow(st, stage, r.time)) return;
  st.warned = true;
  Event e = warning(stage, r);
  st.lowArmed = false;
  if (stage == Stage::low) return events.push_back(e);
  st.criticalArmed = false;
  if (stage == Stage::critical) {
    if (s.repeatMinutes > 0) st.nextRepeat = r.time + s.repeatMinutes * 60;
    return events.push_back(e);
  }
  st.actionArmed = false;
  e.kind = Event::announce;
  e.delay = st.owed.value_or(s.actionDelay);
  e.at = r.time + e.delay;
  st.actionAt = e.at;
  st.owed.reset();
  st.owedLevel = level;
  events.push_back(e);
}

// The last check: the level back above the action's, or the action switched off meanwhile, is
// no action, and the action is armed again for when the level is back at it.
void lastCheck(const Settings& s, State& st, const Reading& last, std::vector<Event>& events) {
  st.actionAt.reset();
  const bool stillDue =
      last.level && s.action != Action::none && reached(s.actionLevel, *last.level);
  Event e{stillDue ? Event::act : Event::cancel, Stage::action};
  if (last.level) e.level = *last.level;
  if (!stillDue) st.actionArmed = true;
  events.push_back(e);
}

void repeat(const Settings& s, State& st, const Reading& last, double time, bool onBattery,
            std::vector<Event>& events) {
  // While an action counts down, its notice (and its Cancel) stays up rather than a repeat;
  // power that has not held yet is waited for.
  if (st.actionAt || st.powerSince) {
    st.nextRepeat = time + s.repeatMinutes * 60;
  } else if (onBattery && reached(s.criticalLevel, *last.level)) {
    st.nextRepeat = time + s.repeatMinutes * 60;
    st.sent[static_cast<size_t>(Stage::critical)] = time;
    events.push_back(warning(Stage::critical, last));
  } else {
    st.nextRepeat.reset();
  }
}

// A battery known only by its word warns at its low and critical words (Critical as low where
// the critical stage is off), each once until a word above them; never the action, which a word
// is too coarse to time.
void speakByWord(const Settings& s, State& st, const Reading& r, std::vector<Event>& events) {
  if (*r.word == WordLevel::fine) {
    st.lowArmed = st.criticalArmed = true;
    return;
  }
  const bool critical = *r.word == WordLevel::critical && s.criticalLevel > 0;
  const Stage stage = critical ? Stage::critical : Stage::low;
  if (!critical && s.lowLevel <= 0) return;
  if (!(critical ? st.criticalArmed : st.lowArmed) || !mayShow(st, stage, r.time)) return;
  st.warned = true;
  st.lowArmed = false;
  if (critical) st.criticalArmed = false;
  Event e{Event::warn, stage};
  e.byWord = true;
  e.chargerIn = r.externalPower;
  events.push_back(e);
}

}  // namespace

std::vector<Event> onReading(const Settings& s, State& st, const Reading& r) {
  std::vector<Event> events;
  if (!r.externalPower) st.trend = Trend();  // the trend counts readings on power only
  if (st.owed && r.level && *r.level > st.owedLevel) st.owed.reset();
  if (r.externalPower && !drainsAllTheSame(st.trend, r)) {
    if (!st.powerSince) st.powerSince = r.time;
    if (!st.powerBack && r.time - *st.powerSince >= kPowerHoldsSeconds) {
      powerBack(st, r.level, events);
    }
    return events;
  }
  st.powerSince.reset();
  st.powerBack = false;
  if (!r.level) {
    if (r.word) speakByWord(s, st, r, events);
    return events;
  }
  rearmAbove(s, st, r);
  speak(s, st, r, events);
  return events;
}

std::vector<Event> onTime(const Settings& s, State& st, const Reading& last, double time) {
  std::vector<Event> events;
  if (powerPending(st) && time >= *st.powerSince + kPowerHoldsSeconds) {
    powerBack(st, last.level, events);
  }
  const bool onBattery = !st.powerSince && last.level;
  // A countdown due while power has not yet held waits to see whether it does.
  if (st.actionAt && time >= *st.actionAt && !st.powerSince) lastCheck(s, st, last, events);
  if (st.heldBack && time >= *st.heldBack) {
    st.heldBack.reset();
    Reading now = last;
    now.time = time;
    if (onBattery) speak(s, st, now, events);
    if (!st.powerSince && !last.level && last.word) speakByWord(s, st, now, events);
  }
  if (st.nextRepeat && time >= *st.nextRepeat) repeat(s, st, last, time, onBattery, events);
  return events;
}

std::vector<Event> onCancel(State& st) {
  if (!st.actionAt) return {};
  st.actionAt.reset();
  return {Event{Event::cancel, Stage::action}};
}

std::vector<Event> onResume(State& st) {
  std::vector<Event> events = onCancel(st);
  // A countdown cut short by the sleep is announced again, in full, if a fresh reading still
  // calls for it; an action already taken is not taken again for the same discharge.
  if (!events.empty()) st.actionArmed = true;
  // What the readings before the sleep told of the power is stale, and the once-a-minute rule,
  // which keeps a flapping charger from repeating a stage, holds nothing back across a sleep:
  // the host's clock stood still while the machine slept.
  st.sent = {};
  st.heldBack.reset();
  st.trend = Trend();
  st.powerSince.reset();
  st.powerBack = false;
  return events;
}

std::optional<double> nextDeadline(const State& st) {
  std::optional<double> next;
  const auto consider = [&next](const std::optional<double>& time) {
    if (time && (!next || *time < *next)) next = time;
  };
  if (powerPending(st)) {
    consider(*st.powerSince + kPowerHoldsSeconds);
  } else {
    consider(st.actionAt);
  }
  consider(st.nextRepeat);
  consider(st.heldBack);
  return next;
}

std::optional<std::string> putInOrder(Settings& s) {
  std::array<int*, 3> stages = {&s.lowLevel, &s.criticalLevel, &s.actionLevel};
  std::vector<int> on;
  for (int* level : stages) {
    *level = std::clamp(*level, 0, 100);
    if (*level > 0) on.push_back(*level);
  }
  if (std::is_sorted(on.begin(), on.end(), std::greater<int>())) return std::nullopt;
  const std::string given = "lowLevel " + std::to_string(s.lowLevel) + ", criticalLevel " +
                            std::to_string(s.criticalLevel) + ", actionLevel " +
                            std::to_string(s.actionLevel);
  std::sort(on.begin(), on.end(), std::greater<int>());
  auto next = on.begin();
  for (int* level : stages) {
    if (*level > 0) *level = *next++;
  }
  return given + " are out of order; using lowLevel " + std::to_string(s.lowLevel) +
         ", criticalLevel " + std::to_string(s.criticalLevel) + ", actionLevel " +
         std::to_string(s.actionLevel);
}

namespace {
const struct {
  Action action;
  const char* name;
} kActionNames[] = {
    {Action::none, "none"},           {Action::suspend, "suspend"},
    {Action::hibernate, "hibernate"}, {Action::hybridSleep, "hybrid-sleep"},
    {Action::poweroff, "poweroff"},   {Action::command, "command"},
};
}  // namespace

const char* actionName(Action action) {
  for (const auto& row : kActionNames) {
    if (row.action == action) return row.name;
  }
  return "none";
}

std::optional<Action> actionNamed(const std::string& name) {
  for (const auto& row : kActionNames) {
    if (name == row.name) return row.action;
  }
  return std::nullopt;
}

}  // namespace host::low_battery
