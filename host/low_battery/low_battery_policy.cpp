#include "host/low_battery/low_battery_policy.h"

#include <algorithm>
#include <array>

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
  return e;
}

// External power came: nothing is pending, everything is armed again.
void powerCame(State& st, std::vector<Event>& events) {
  if (st.actionAt) events.push_back(Event{Event::cancel, Stage::action});
  if (st.warned) events.push_back(Event{Event::withdraw});
  st = State();
}

}  // namespace

std::vector<Event> onReading(const Settings& s, State& st, const Reading& r) {
  std::vector<Event> events;
  if (r.externalPower) {
    powerCame(st, events);
    return events;
  }
  if (!r.level) return events;
  const double level = *r.level;
  rearmAbove(s, st, r);
  // Only the most severe stage that is due speaks; the lesser ones are then passed.
  if (s.action != Action::none && reached(s.actionLevel, level) && st.actionArmed) {
    st.actionArmed = st.criticalArmed = st.lowArmed = false;
    st.actionAt = r.time + s.actionDelay;
    Event e = warning(Stage::action, r);
    e.kind = Event::announce;
    e.at = *st.actionAt;
    events.push_back(e);
  } else if (reached(s.criticalLevel, level) && st.criticalArmed) {
    st.criticalArmed = st.lowArmed = false;
    if (s.repeatMinutes > 0) st.nextRepeat = r.time + s.repeatMinutes * 60;
    events.push_back(warning(Stage::critical, r));
  } else if ((reached(s.lowLevel, level) || lowByTime(s, r)) && st.lowArmed) {
    st.lowArmed = false;
    events.push_back(warning(Stage::low, r));
  }
  if (!events.empty()) st.warned = true;
  return events;
}

std::vector<Event> onTime(const Settings& s, State& st, const Reading& last, double time) {
  std::vector<Event> events;
  const bool onBattery = !last.externalPower && last.level;
  if (st.actionAt && time >= *st.actionAt) {
    st.actionAt.reset();
    // The last check: the charger back, or the level back above the action's, is no action.
    // (The settings are read afresh for it too: an action switched off meanwhile is none.)
    const bool stillDue =
        onBattery && s.action != Action::none && reached(s.actionLevel, *last.level);
    Event e{stillDue ? Event::act : Event::cancel, Stage::action};
    if (last.level) e.level = *last.level;
    events.push_back(e);
  }
  if (st.nextRepeat && time >= *st.nextRepeat) {
    // While an action counts down, its notice (and its Cancel) stays up rather than a repeat.
    if (st.actionAt) {
      st.nextRepeat = time + s.repeatMinutes * 60;
    } else if (onBattery && reached(s.criticalLevel, *last.level)) {
      st.nextRepeat = time + s.repeatMinutes * 60;
      events.push_back(warning(Stage::critical, last));
    } else {
      st.nextRepeat.reset();
    }
  }
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
  return events;
}

std::optional<double> nextDeadline(const State& st) {
  if (st.actionAt && st.nextRepeat) return std::min(*st.actionAt, *st.nextRepeat);
  return st.actionAt ? st.actionAt : st.nextRepeat;
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
