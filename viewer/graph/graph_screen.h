#pragma once

#include <functional>
#include <optional>

#include "terminal/terminal_text.h"
#include "viewer/graph/graph_page.h"
#include "viewer/table/history_reading.h"

// Reads the history: the samples since a time (none without it), and the health log if asked.
using HistoryLoader = std::function<HistoryReading(std::optional<double>, bool)>;

// The graph screen on the terminal curses already holds: the history read when it opens, when
// the span changes and once a minute while it is shown.
class GraphScreen {
 public:
  explicit GraphScreen(HistoryLoader load) : load_(std::move(load)) {}

  void open();
  void draw(terminal::TerminalColorPairs& colors);
  enum class Answer { none, redraw, back };
  Answer handleKey(int key);

 private:
  void read(double now);
  HistoryLoader load_;
  GraphPageFacts shown_;  // as last read: the span, the history, the time it was read at
};
