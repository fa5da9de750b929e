#include "host/host_screen.h"

#include <curses.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "host/lock_screen_layout.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {
namespace {

// The lock screen's wallpaper: a mid grey on which both white and black text read.
const UIColor kWallpaper{0.25f, 0.28f, 0.33f, 1.0f};
const UIColor kDialog{0.93f, 0.93f, 0.93f, 1.0f};
const UIColor kInk{0.0f, 0.0f, 0.0f, 1.0f};

std::wstring widen(const std::string& text) {
  std::mbstate_t state{};
  const char* source = text.c_str();
  std::vector<wchar_t> wide(text.size() + 1);
  const size_t n = std::mbsrtowcs(wide.data(), &source, wide.size(), &state);
  if (n == static_cast<size_t>(-1)) return std::wstring(text.begin(), text.end());
  return std::wstring(wide.data(), n);
}

int widthOf(const std::wstring& text) {
  const int w = wcswidth(text.c_str(), text.size());
  return w < 0 ? static_cast<int>(text.size()) : w;
}

// The longest prefix that fits in the given number of columns.
std::wstring fitted(const std::wstring& text, int columns) {
  std::wstring out;
  int used = 0;
  for (wchar_t c : text) {
    const int w = std::max(0, wcwidth(c));
    if (used + w > columns) break;
    out.push_back(c);
    used += w;
  }
  return out;
}

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

}  // namespace

HostScreen::HostScreen() {
  startCurses();
  cbreak();
  noecho();
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  curs_set(0);
  if (has_colors()) {
    start_color();
    use_default_colors();
    depth_ = COLORS >= 0x1000000 ? TerminalDepth::direct
             : COLORS >= 256     ? TerminalDepth::xterm256
             : COLORS >= 8       ? TerminalDepth::basic8
                                 : TerminalDepth::none;
  }
}

HostScreen::~HostScreen() {
  endwin();
}

int HostScreen::nextKey() {
  const int key = getch();
  return key == ERR ? -1 : key;
}

short HostScreen::pairFor(UIColor foreground, UIColor background) {
  auto convert = [&](UIColor c) {
    switch (depth_) {
      case TerminalDepth::direct:
        return directColor(c);
      case TerminalDepth::xterm256:
        return nearestXterm256(c);
      case TerminalDepth::basic8:
        return nearestBasic8(c);
      default:
        return -1;
    }
  };
  if (depth_ == TerminalDepth::none) return 0;
  const std::pair<int, int> key{convert(foreground), convert(background)};
  auto found = pairs_.find(key);
  if (found != pairs_.end()) return found->second;
  const short pair = static_cast<short>(pairs_.size() + 1);
  if (pair >= COLOR_PAIRS) return 0;
  init_extended_pair(pair, key.first, key.second);
  pairs_.emplace(key, pair);
  return pair;
}

void HostScreen::drawDevice(const HostScreenState& state, int top) {
  const int maxRows = LINES - top - 3;
  if (maxRows < 3 || COLS < 16) return;
  const CellScale scale = fitScreen(state.screen, std::min(COLS - 4, state.pad ? 60 : 40), maxRows);
  const int left = 2;
  // The outline: rounded corners, a home button's dot under a phone.
  mvaddstr(top, left, "\u256d");
  for (int c = 0; c < scale.columns; ++c) addstr("\u2500");
  addstr("\u256e");
  const short wallpaper = pairFor(kWallpaper, kWallpaper);
  for (int r = 0; r < scale.rows; ++r) {
    mvaddstr(top + 1 + r, left, "\u2502");
    attron(COLOR_PAIR(wallpaper));
    for (int c = 0; c < scale.columns; ++c) addch(' ');
    attroff(COLOR_PAIR(wallpaper));
    addstr("\u2502");
  }
  mvaddstr(top + 1 + scale.rows, left, "\u2570");
  for (int c = 0; c < scale.columns; ++c) addstr("\u2500");
  addstr("\u256f");
  mvaddstr(top + 1 + scale.rows, left + scale.columns / 2, state.pad ? "\u2500" : "\u25cb");

  const std::string caption = state.locked ? (state.pad ? " pad, locked " : " phone, locked ")
                                           : (state.pad ? " pad, unlocked " : " phone, unlocked ");
  mvaddstr(top, left + 2, caption.c_str());
  if (!state.locked) return;

  for (const PlacedLabel& label : labelsIn(state.lockScreenRoot)) {
    const int row = static_cast<int>(label.center.y / scale.pointsPerRow);
    if (row < 0 || row >= scale.rows) continue;
    const std::wstring text = fitted(widen(label.text), scale.columns);
    const int centreColumn = static_cast<int>(label.center.x / scale.pointsPerColumn);
    const int column =
        std::clamp(centreColumn - widthOf(text) / 2, 0, scale.columns - widthOf(text));
    const short pair = pairFor(label.color.value_or(UIColor::whiteColor()), kWallpaper);
    attron(COLOR_PAIR(pair) | A_BOLD);
    mvaddwstr(top + 1 + row, left + 1 + column, text.c_str());
    attroff(COLOR_PAIR(pair) | A_BOLD);
  }
}

void HostScreen::drawDialogs(const ScreenPresenter& presenter) {
  const short paper = pairFor(kInk, kDialog);
  int index = 0;
  for (const UIAlertView* dialog : presenter.dialogs()) {
    const std::wstring title = widen(dialog->title());
    const std::wstring message = widen(dialog->message());
    const std::wstring button = L"[ " + widen(dialog->cancelButtonTitle()) + L" ]";
    const int inner = std::min(COLS - 8, std::max({widthOf(title), widthOf(message), 24}) + 4);
    const int width = inner + 2;
    const int top = std::max(1, LINES / 2 - 4) + index;
    const int left = std::max(0, (COLS - width) / 2) + 2 * index;
    attron(COLOR_PAIR(paper));
    for (int r = 0; r < 6; ++r) mvhline(top + r, left, ' ', width);
    attron(A_BOLD);
    mvaddwstr(top + 1, left + (width - widthOf(fitted(title, inner))) / 2,
              fitted(title, inner).c_str());
    attroff(A_BOLD);
    mvaddwstr(top + 2, left + (width - widthOf(fitted(message, inner))) / 2,
              fitted(message, inner).c_str());
    attron(A_REVERSE);
    mvaddwstr(top + 4, left + (width - widthOf(button)) / 2, button.c_str());
    attroff(A_REVERSE);
    attroff(COLOR_PAIR(paper));
    ++index;
  }
}

void HostScreen::draw(const HostScreenState& state, ScreenPresenter& presenter) {
  erase();
  const auto now = ScreenPresenter::Clock::now();
  attron(A_REVERSE);
  mvhline(0, 0, ' ', COLS);
  std::string bar = " springboard-sim  " + state.clock + "  " + state.status;
  if (state.hasCharger) bar += state.charger ? "  | charger in" : "  | charger out";
  char speed[32];
  std::snprintf(speed, sizeof speed, "  | %gx", state.speed);
  bar += speed;
  mvaddwstr(0, 0, fitted(widen(bar), COLS).c_str());
  attroff(A_REVERSE);

  std::string indicators;
  if (presenter.vibrating(now)) indicators += "\u224b vibrating \u224b   ";
  if (presenter.sounding(now)) indicators += "\u266a " + presenter.soundName();
  attron(A_BOLD);
  mvaddwstr(1, 2, fitted(widen(indicators), COLS - 2).c_str());
  attroff(A_BOLD);
  if (presenter.takeBell()) beep();

  drawDevice(state, 2);
  drawDialogs(presenter);

  attron(A_DIM);
  const char* keys = presenter.dialogs().empty()
                         ? " c charger  l lock/unlock  + - speed  q quit"
                         : " Enter closes the dialog  c charger  l lock/unlock  + - speed  q quit";
  mvaddstr(LINES - 1, 0, keys);
  attroff(A_DIM);
  refresh();
}

}  // namespace host
