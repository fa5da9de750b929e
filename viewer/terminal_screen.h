#pragma once

#include <map>

#include "platform/uikit/terminal_colors.h"

class MainStoryboard;

// Draws the storyboard's table on the terminal with ncursesw. Construction takes the terminal
// over; destruction gives it back as it was.
class TerminalScreen {
 public:
  explicit TerminalScreen(const MainStoryboard& storyboard);
  ~TerminalScreen();
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

  void draw();
  // Reads every pending key; gives false when the user asked to quit.
  bool handleInput();

 private:
  short pairFor(UIColor color);

  const MainStoryboard& storyboard_;
  TerminalDepth depth_ = TerminalDepth::none;
  std::map<int, short> pairs_;
  int scroll_ = 0;
};
