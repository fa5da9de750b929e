#include "host/screen/host_screen.h"

#include <curses.h>

#include <algorithm>
#include <vector>

#include "host/screen/lock_screen_layout.h"
#include "host/screen/status_bar.h"
#include "platform/uikit/ui_alert_view.h"
#include "terminal/terminal_text.h"

namespace host {
namespace {

// The lock screen's wallpaper: a mid grey on which both white and black text read.
const UIColor kWallpaper{0.25f, 0.28f, 0.33f, 1.0f};
const UIColor kDialog{0.93f, 0.93f, 0.93f, 1.0f};
const UIColor kInk{0.0f, 0.0f, 0.0f, 1.0f};

}  // namespace

HostScreen::HostScreen() : colors_(terminal::startTerminalScreen()) {}

HostScreen::~HostScreen() {
  endwin();
}

int HostScreen::nextKey() {
  const int key = getch();
  return key == ERR ? -1 : key;
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
  const short wallpaper = colors_.pairFor(kWallpaper, kWallpaper);
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
    const std::wstring text = terminal::fitted(terminal::widen(label.text), scale.columns);
    const int centreColumn = static_cast<int>(label.center.x / scale.pointsPerColumn);
    const int column = std::clamp(centreColumn - terminal::displayWidth(text) / 2, 0,
                                  scale.columns - terminal::displayWidth(text));
    const short pair = colors_.pairFor(label.color.value_or(UIColor::whiteColor()), kWallpaper);
    attron(COLOR_PAIR(pair) | A_BOLD);
    mvaddwstr(top + 1 + row, left + 1 + column, text.c_str());
    attroff(COLOR_PAIR(pair) | A_BOLD);
  }
}

void HostScreen::drawLaptop(const HostScreenState& state, int top) {
  int row = top;
  for (const std::string& line : state.laptopLines)
    mvaddwstr(row++, 2, terminal::fitted(terminal::widen(line), COLS - 4).c_str());
}

void HostScreen::drawDialogs(const ScreenPresenter& presenter) {
  const short paper = colors_.pairFor(kInk, kDialog);
  int index = 0;
  for (const UIAlertView* dialog : presenter.dialogs()) {
    const std::wstring title = terminal::widen(dialog->title());
    const std::wstring message = terminal::widen(dialog->message());
    const std::wstring button = L"[ " + terminal::widen(dialog->cancelButtonTitle()) + L" ]";
    const int inner = std::min(
        COLS - 8,
        std::max({terminal::displayWidth(title), terminal::displayWidth(message), 24}) + 4);
    const int width = inner + 2;
    const int top = std::max(1, LINES / 2 - 4) + index;
    const int left = std::max(0, (COLS - width) / 2) + 2 * index;
    attron(COLOR_PAIR(paper));
    for (int r = 0; r < 6; ++r) mvhline(top + r, left, ' ', width);
    attron(A_BOLD);
    mvaddwstr(top + 1, left + (width - terminal::displayWidth(terminal::fitted(title, inner))) / 2,
              terminal::fitted(title, inner).c_str());
    attroff(A_BOLD);
    mvaddwstr(top + 2,
              left + (width - terminal::displayWidth(terminal::fitted(message, inner))) / 2,
              terminal::fitted(message, inner).c_str());
    attron(A_REVERSE);
    mvaddwstr(top + 4, left + (width - terminal::displayWidth(button)) / 2, button.c_str());
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
  const std::string bar = statusBarText(state);
  mvaddwstr(0, 0, terminal::fitted(terminal::widen(bar), COLS).c_str());
  attroff(A_REVERSE);

  std::string indicators;
  if (presenter.vibrating(now)) indicators += "\u224b vibrating \u224b   ";
  if (presenter.sounding(now)) indicators += "\u266a " + presenter.soundName();
  attron(A_BOLD);
  mvaddwstr(1, 2, terminal::fitted(terminal::widen(indicators), COLS - 2).c_str());
  attroff(A_BOLD);
  if (presenter.takeBell()) beep();

  if (state.laptop) {
    drawLaptop(state, 2);
  } else {
    drawDevice(state, 2);
  }
  drawDialogs(presenter);

  attron(A_DIM);
  mvaddstr(LINES - 1, 0, keysText(state, !presenter.dialogs().empty()).c_str());
  attroff(A_DIM);
  refresh();
}

}  // namespace host
