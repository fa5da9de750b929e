#pragma once

#include "terminal/terminal_text.h"

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
  const MainStoryboard& storyboard_;
  terminal::TerminalColorPairs colors_;
  int scroll_ = 0;
};
