#include "terminal/terminal_text.h"

#include <curses.h>
#include <langinfo.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace terminal {

void useUtf8Characters() {
  const char* set = std::setlocale(LC_CTYPE, "");
  if (!set || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

std::wstring widen(const std::string& text) {
  std::mbstate_t state{};
  const char* source = text.c_str();
  std::vector<wchar_t> wide(text.size() + 1);
  const size_t n = std::mbsrtowcs(wide.data(), &source, wide.size(), &state);
  if (n == static_cast<size_t>(-1)) return std::wstring(text.begin(), text.end());
  return std::wstring(wide.data(), n);
}

int displayWidth(const std::wstring& text) {
  const int w = wcswidth(text.c_str(), text.size());
  return w < 0 ? static_cast<int>(text.size()) : w;
}

std::wstring fitted(const std::wstring& text, int cells) {
  std::wstring out;
  int used = 0;
  for (wchar_t c : text) {
    const int w = std::max(0, wcwidth(c));
    if (used + w > cells) break;
    out.push_back(c);
    used += w;
  }
  return out;
}

TerminalDepth startTerminalScreen() {
  const char* colorTerm = std::getenv("COLORTERM");
  const char* term = std::getenv("TERM");
  const bool truecolor = colorTerm && (std::strcmp(colorTerm, "truecolor") == 0 ||
                                       std::strcmp(colorTerm, "24bit") == 0);
  // ncurses draws 24-bit colour only through a direct-colour description of the terminal.
  bool started = false;
  if (truecolor && term && std::strncmp(term, "xterm", 5) == 0 && !std::strstr(term, "direct")) {
    started = newterm("xterm-direct", stdout, stdin) != nullptr;
  }
  if (!started) initscr();
  cbreak();  // Ctrl-C stays a signal, which the run loop turns into a clean stop
  noecho();
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  curs_set(0);
  typeahead(-1);  // no poll of the keyboard before every screen update
  if (!has_colors()) return TerminalDepth::none;
  start_color();
  use_default_colors();
  if (COLORS >= 0x1000000) return TerminalDepth::direct;
  if (COLORS >= 256) return TerminalDepth::xterm256;
  if (COLORS >= 8) return TerminalDepth::basic8;
  return TerminalDepth::none;
}

int TerminalColorPairs::convert(UIColor color) const {
  switch (depth_) {
    case TerminalDepth::direct:
      return directColor(color);
    case TerminalDepth::xterm256:
      return nearestXterm256(color);
    case TerminalDepth::basic8:
      return nearestBasic8(color);
    default:
      return -1;
  }
}

short TerminalColorPairs::pairFor(UIColor foreground, std::optional<UIColor> background) {
  if (depth_ == TerminalDepth::none) return 0;
  const std::pair<int, int> key{convert(foreground), background ? convert(*background) : -1};
  auto found = pairs_.find(key);
  if (found != pairs_.end()) return found->second;
  const short pair = static_cast<short>(pairs_.size() + 1);
  if (pair >= COLOR_PAIRS) return 0;
  init_extended_pair(pair, key.first, key.second);
  pairs_.emplace(key, pair);
  return pair;
}

}  // namespace terminal
