#pragma once

#include <string>
#include <vector>

#include "viewer/graph/graph_plot.h"
#include "viewer/table/history_reading.h"
#include "viewer/table/screen_state.h"

// What the graph screen shows, read from the history when it was drawn.
struct GraphPageFacts {
  HistoryReading history;  // the samples of the span, the health log
  size_t span = 2;         // which of graphSpans()
  double now = 0;
  int columns = 0, rows = 0;
};

// The whole graph screen, a row for each terminal line: the title, the legend, the plot at the
// terminal's size, the wear and its pace, the keys on the last line.
std::vector<GraphRow> graphPage(const GraphPageFacts& facts, const Localize& localize);
