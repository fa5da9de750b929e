#pragma once

#include <string>
#include <vector>

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
  // Looks at the status file again; true when the footer now says something else (a status
  // written at last, a folder that went bad), and the screen wants drawing.
  bool footerChanged();
  // Reads every pending key; gives false when the user asked to quit.
  bool handleInput();

 private:
  const MainStoryboard& storyboard_;
  terminal::TerminalColorPairs colors_;
  int scroll_ = 0;
  std::vector<std::string> footer_;
};
