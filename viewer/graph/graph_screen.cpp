#include "viewer/graph/graph_screen.h"

#include <curses.h>

#include <chrono>

#include "viewer/graph/graph_page.h"
#include "viewer/table/localized.h"
#include "viewer/table/screen_state.h"

namespace {

constexpr double kReadAgain = 60;

double now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

short pairOf(Ink ink, terminal::TerminalColorPairs& colors) {
  switch (ink) {
    case Ink::level:
      return colors.pairFor(screen_colors::green());
    case Ink::power:
      return colors.pairFor(UIColor::orangeColor());
    case Ink::both:
      return colors.pairFor(screen_colors::yellowGreen());
    case Ink::charger:
      return colors.pairFor(UIColor::blueColor());
    case Ink::asleep:
      return colors.pairFor(UIColor::colorWithRed(0.6f, 0.0f, 0.8f, 1.0f));
    case Ink::plain:
    case Ink::axis:
      break;
  }
  return 0;
}

// One row, in runs of one ink, cut at the terminal's right edge.
void drawRow(int y, const GraphRow& row, terminal::TerminalColorPairs& colors, bool bold) {
  int x = 0;
  for (size_t at = 0; at < row.cells.size() && x < COLS;) {
    std::string run;
    const Ink ink = row.inks[at];
    for (; at < row.cells.size() && row.inks[at] == ink; ++at) run += row.cells[at];
    const std::wstring text = terminal::fitted(terminal::widen(run), COLS - x);
    const short pair = pairOf(ink, colors);
    const attr_t look =
        (pair ? COLOR_PAIR(pair) : 0) | (ink == Ink::axis ? A_DIM : 0) | (bold ? A_BOLD : 0);
    attron(look);
    mvaddwstr(y, x, text.c_str());
    attroff(look);
    x += terminal::displayWidth(text);
  }
}

}  // namespace

void GraphScreen::open() {
  read(now());
}

void GraphScreen::read(double at) {
  shown_.history = load_(at - graphSpans()[shown_.span].seconds, true);
  shown_.now = at;
}

void GraphScreen::draw(terminal::TerminalColorPairs& colors) {
  const double at = now();
  if (at - shown_.now >= kReadAgain) read(at);
  shown_.columns = COLS;
  shown_.rows = LINES;
  erase();
  const std::vector<GraphRow> page = graphPage(shown_, localized);
  for (size_t y = 0; y < page.size() && static_cast<int>(y) < LINES; ++y) {
    drawRow(static_cast<int>(y), page[y], colors, y == 0);
  }
  refresh();
}

GraphScreen::Answer GraphScreen::handleKey(int key) {
  const size_t before = shown_.span;
  size_t span = before;
  switch (key) {
    case 'g':
    case 'G':
    case 'q':
    case 'Q':
      return Answer::back;
    case KEY_LEFT:
    case 'h':
      span = before > 0 ? before - 1 : 0;
      break;
    case KEY_RIGHT:
    case 'l':
      span = std::min(before + 1, graphSpans().size() - 1);
      break;
    case KEY_RESIZE:
      return Answer::redraw;
    default:
      if (key >= '1' && key < '1' + static_cast<int>(graphSpans().size())) {
        span = static_cast<size_t>(key - '1');
      }
      break;
  }
  if (span == before) return Answer::none;
  shown_.span = span;
  read(now());
  return Answer::redraw;
}
