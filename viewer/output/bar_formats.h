#pragma once

#include <string>

#include "viewer/table/status_summary.h"

// What a status bar shows of one reading, in the forms the common bars take. Pure: the low
// levels and the time come from the caller.
struct BarContext {
  int lowLevel = 20;
  int criticalLevel = 5;
  double now = 0;  // seconds since 1970, for the status's age
};

// How urgent the reading is: on battery at or below a low level.
enum class Urgency { none, warning, critical };
Urgency urgencyOf(const StatusSummary& summary, const BarContext& context);

// Waybar takes a tooltip as Pango markup, where a bare & or < loses all of it.
std::string markupEscaped(const std::string& text);

// "62% 1:05" (the level, and the time the charge goes where known), "" without a status.
std::string barText(const StatusSummary& summary);

// waybar's custom module with return-type json: text, alt (the state), tooltip, class (the
// state, "warning" or "critical", "stale") and percentage. No status: an empty text, which
// waybar hides.
std::string waybarLine(const StatusSummary& summary, const BarContext& context);

// i3blocks: full text, short text and colour, a line each; nothing without a status. The exit
// status i3blocks reads as urgent (33) at or below the critical level, else 0.
std::string i3blocksLines(const StatusSummary& summary, const BarContext& context);
int i3blocksExitStatus(const StatusSummary& summary, const BarContext& context);

// polybar: one line, coloured with %{F#rrggbb} when there is a reason to.
std::string polybarLine(const StatusSummary& summary, const BarContext& context);
