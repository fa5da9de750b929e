#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/history_types.h"

// What a cell of the graph screen is drawn in.
enum class Ink : uint8_t { plain, axis, level, power, both, charger, asleep };

// One line of the graph screen, cell by cell: every cell one terminal column wide, as UTF-8,
// with its ink.
struct GraphRow {
  std::vector<std::string> cells;
  std::vector<Ink> inks;
  void add(const std::string& text, Ink ink = Ink::plain);  // one cell per character of text
  std::string text() const;
};

// The spans the graph screen offers, shortest first.
struct GraphSpan {
  const char* name;  // "24 h"
  double seconds;
};
const std::vector<GraphSpan>& graphSpans();

struct PlotArea {
  double now = 0;      // the right edge, seconds since 1970
  double seconds = 0;  // the span shown
  int columns = 0, rows = 0;
};

// From this span up the plot draws each day's range and mean rather than every sample.
inline constexpr double kDailyFromSeconds = 7 * 86400;

// The level (left axis, percent) and the power (right axis, W) of the samples over the span that
// ends at `now`, in Braille cells filling the area: the plot, a row marking with a heavy bar the
// times external power was in, the time axis with its ticks and their local times below, drawn
// double (═, ╤) where the machine slept. Samples farther apart than the host ever waits (or than
// a few dot columns) are not joined. From a week up, each local day is a whisker from its lowest
// to its highest value crossed by a bar at its mean, nothing on a day without a sample, and the
// charger's bar covers the share of the day's cells that the day spent on external power (a
// cell at least, for a day that had any). Nothing when the area is too small to hold a plot.
std::vector<GraphRow> plotHistory(const std::vector<history::Sample>& samples, const PlotArea& area,
                                  const std::vector<history::SleepEntry>& sleeps = {});
