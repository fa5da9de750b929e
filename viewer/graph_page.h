#pragma once

#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"
#include "viewer/graph_plot.h"
#include "viewer/screen_state.h"

// What the graph screen shows, read from the history when it was drawn.
struct GraphPageFacts {
  std::optional<std::string> none;  // why there is no history to draw ("no history yet")
  std::vector<history::Sample> samples;
  std::vector<history::HealthEntry> health;
  size_t span = 2;  // which of graphSpans()
  double now = 0;
  int columns = 0, rows = 0;
};

// The whole graph screen, a row for each terminal line: the title, the legend, the plot at the
// terminal's size, the wear and its pace, the keys on the last line.
std::vector<GraphRow> graphPage(const GraphPageFacts& facts, const Localize& localize);
