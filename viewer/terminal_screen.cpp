#include "viewer/terminal_screen.h"

#include <curses.h>
#include <term.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/foundation/ns_bundle.h"
#include "platform/uikit/ui_view.h"
#include "viewer/main_storyboard.h"

namespace {

constexpr int kMaxWidth = 64;

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

// Terminals that say they take 24-bit colour get the direct-colour description of themselves.
bool startCurses() {
  const char* colorTerm = std::getenv("COLORTERM");
  const char* term = std::getenv("TERM");
  const bool truecolor = colorTerm && (std::strcmp(colorTerm, "truecolor") == 0 ||
                                       std::strcmp(colorTerm, "24bit") == 0);
  if (truecolor && term && std::strncmp(term, "xterm", 5) == 0 && !std::strstr(term, "direct")) {
    if (newterm("xterm-direct", stdout, stdin)) return true;
  }
  return initscr() != nullptr;
}

std::string localized(const char* key) {
  return NSBundle::mainBundle().localizedStringForKey(key, "", nullptr);
}

}  // namespace

TerminalScreen::TerminalScreen(const MainStoryboard& storyboard) : storyboard_(storyboard) {
  startCurses();
  cbreak();  // Ctrl-C stays a signal, which the run loop turns into a clean stop
  noecho();
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  curs_set(0);
  if (has_colors()) {
    start_color();
    use_default_colors();
    if (COLORS >= 0x1000000) {
      depth_ = TerminalDepth::direct;
    } else if (COLORS >= 256) {
      depth_ = TerminalDepth::xterm256;
    } else if (COLORS >= 8) {
      depth_ = TerminalDepth::basic8;
    }
  }
}

TerminalScreen::~TerminalScreen() {
  endwin();
}

short TerminalScreen::pairFor(UIColor color) {
  int value;
  switch (depth_) {
    case TerminalDepth::direct:
      value = directColor(color);
      break;
    case TerminalDepth::xterm256:
      value = nearestXterm256(color);
      break;
    case TerminalDepth::basic8:
      value = nearestBasic8(color);
      break;
    default:
      return 0;
  }
  auto found = pairs_.find(value);
  if (found != pairs_.end()) return found->second;
  const short pair = static_cast<short>(pairs_.size() + 1);
  if (pair >= COLOR_PAIRS) return 0;
  init_extended_pair(pair, value, -1);
  pairs_.emplace(value, pair);
  return pair;
}

void TerminalScreen::draw() {
  erase();
  const int width = std::min(COLS, kMaxWidth);
  int line = -scroll_;
  auto visible = [&](int y) { return y >= 0 && y < LINES - 1; };

  if (visible(line)) {
    attron(A_BOLD);
    mvaddstr(line, 1, "Brimwell");
    attroff(A_BOLD);
  }
  line += 2;
  for (const TableSection& section : storyboard_.sections()) {
    if (visible(line)) {
      attron(A_BOLD | A_UNDERLINE);
      mvaddwstr(line, 1, widen(section.title).c_str());
      attroff(A_BOLD | A_UNDERLINE);
    }
    ++line;
    for (const TableRow& row : section.rows) {
      if (visible(line)) {
        mvaddwstr(line, 3, widen(row.caption->text().value_or("")).c_str());
        const std::wstring value = widen(row.value->text().value_or(""));
        const int x = std::max(3, width - 1 - displayWidth(value));
        const short pair = row.value->textColor() ? pairFor(*row.value->textColor()) : 0;
        if (pair) attron(COLOR_PAIR(pair));
        attron(A_BOLD);
        mvaddwstr(line, x, value.c_str());
        attroff(A_BOLD);
        if (pair) attroff(COLOR_PAIR(pair));
      }
      ++line;
    }
    ++line;
  }
  attron(A_DIM);
  const std::string footer = localized("q quit, arrows scroll, refreshes every 10 s");
  mvaddwstr(LINES - 1, 1, widen(footer).c_str());
  attroff(A_DIM);
  refresh();
}

bool TerminalScreen::handleInput() {
  bool redraw = false;
  for (int key = getch(); key != ERR; key = getch()) {
    switch (key) {
      case 'q':
      case 'Q':
        return false;
      case KEY_RESIZE:
        redraw = true;
        break;
      case KEY_UP:
      case 'k':
        scroll_ = std::max(0, scroll_ - 1);
        redraw = true;
        break;
      case KEY_DOWN:
      case 'j':
        scroll_ = std::min(scroll_ + 1, 40);
        redraw = true;
        break;
      default:
        break;
    }
  }
  if (redraw) draw();
  return true;
}
