#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "terminal/terminal_colors.h"

// What every process that draws on a terminal needs: wide text, its width in cells, and a
// curses start that picks the deepest colour the terminal takes.
namespace terminal {

// Wide and CJK characters need a UTF-8 character type whatever the user's locale is.
void useUtf8Characters();

std::wstring widen(const std::string& text);
int displayWidth(const std::wstring& text);
// The longest start of text that fits in the given number of cells.
std::wstring fitted(const std::wstring& text, int cells);

// Starts curses (direct colour where COLORTERM says the terminal takes 24-bit colour), in
// cbreak mode without echo, keypad on, reads not waiting, cursor hidden. Gives the depth.
TerminalDepth startTerminalScreen();

// Curses colour pairs made on demand for the colours drawn.
class TerminalColorPairs {
 public:
  explicit TerminalColorPairs(TerminalDepth depth) : depth_(depth) {}
  // The pair of foreground on background (the terminal's own without one); 0 when the terminal
  // has no colour or no pair is left.
  short pairFor(UIColor foreground, std::optional<UIColor> background = std::nullopt);

 private:
  int convert(UIColor color) const;
  TerminalDepth depth_;
  std::map<std::pair<int, int>, short> pairs_;
};

}  // namespace terminal
