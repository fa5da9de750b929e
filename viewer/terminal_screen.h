#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/uikit/ui_color.h"
#include "terminal/terminal_text.h"
#include "viewer/graph/graph_screen.h"

class MainStoryboard;

// Draws the storyboard's table on the terminal with ncursesw, or the history's graph in its
// place (g). Construction takes the terminal over; destruction gives it back as it was.
class TerminalScreen {
 public:
  TerminalScreen(const MainStoryboard& storyboard, HistoryLoader history);
  ~TerminalScreen();
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

  void draw();
  // Looks at the status file again; true when the footer now says something else (a status
  // written at last, a folder that went bad), and the screen wants drawing.
  bool footerChanged();
  // True when the devices' lines now read otherwise than when last drawn.
  bool devicesChanged();
  // Reads every pending key; gives false when the user asked to quit.
  bool handleInput();

 private:
  void drawTable();
  // One row at `line` (when it is within the table's lines): its caption, and its value to the
  // right in bold, coloured where it has a colour.
  void drawRow(int line, const std::string& caption, const std::string& value,
               std::optional<UIColor> color, int width);
  bool handleTableKey(int key, bool& redraw);
  const MainStoryboard& storyboard_;
  terminal::TerminalColorPairs colors_;
  int scroll_ = 0;
  std::vector<std::string> footer_;
  std::vector<std::pair<std::string, std::string>> devices_;  // the devices' lines drawn
  GraphScreen graph_;
  bool graphShown_ = false;
};
