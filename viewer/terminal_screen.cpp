#include "viewer/terminal_screen.h"

#include <curses.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "common/status_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/foundation/simulated_device.h"
#include "platform/uikit/ui_view.h"
#include "terminal/terminal_text.h"
#include "viewer/devices/device_text.h"
#include "viewer/table/localized.h"
#include "viewer/table/main_storyboard.h"
#include "viewer/table/screen_footer.h"

namespace {

constexpr int kMaxWidth = kTableRowCells;

// Before the host ever ran the screen shows zeros, as the device does; the footer says why.
std::vector<std::string> currentFooter(const BIDBatteryInfo* info) {
  FooterFacts facts;
  if (info) {
    facts.batteryGone = info->batteryGone;
    facts.writtenAt = info->writtenAt;
  }
  facts.now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  facts.written = NSFileManager::defaultManager().fileExistsAtPath(brimwell::kBatteryStatusPath);
  facts.statusPath = platform::deviceFilePath(brimwell::kBatteryStatusPath);
  facts.refusal = platform::placeRefusal(brimwell::kBatteryStatusPath);
  facts.simulated = platform::onSimulatedDevice();
  return footerLines(facts, localized);
}

// The lines folded at blanks to the width, so that a long reason is read whole.
std::vector<std::wstring> folded(const std::vector<std::string>& lines, int width) {
  std::vector<std::wstring> out;
  for (const std::string& line : lines) {
    std::wstring rest = terminal::widen(line);
    while (terminal::displayWidth(rest) > width) {
      size_t cut = rest.rfind(L' ', static_cast<size_t>(width));
      if (cut == std::wstring::npos || cut == 0) cut = static_cast<size_t>(width);
      out.push_back(rest.substr(0, cut));
      rest = rest.substr(cut + (rest[cut] == L' ' ? 1 : 0));
    }
    out.push_back(rest);
  }
  return out;
}

// The devices' lines as the controller's latest refresh gives them.
std::vector<std::pair<std::string, std::string>> deviceLines(const BIDMainTableViewController& c) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const KnownDevice& d : c.devicesShown)
    lines.emplace_back(deviceCaption(d), deviceValue(d, c.devicesReadAt));
  return lines;
}

}  // namespace

TerminalScreen::TerminalScreen(const MainStoryboard& storyboard, HistoryLoader history)
    : storyboard_(storyboard),
      colors_(terminal::startTerminalScreen()),
      footer_(currentFooter(storyboard_.controller().batteryInfo.get())),
      graph_(std::move(history)) {}

bool TerminalScreen::footerChanged() {
  std::vector<std::string> now = currentFooter(storyboard_.controller().batteryInfo.get());
  if (now == footer_) return false;
  footer_ = std::move(now);
  return true;
}

bool TerminalScreen::devicesChanged() {
  return deviceLines(storyboard_.controller()) != devices_;
}

TerminalScreen::~TerminalScreen() {
  endwin();
}

void TerminalScreen::draw() {
  if (graphShown_) {
    graph_.draw(colors_);
  } else {
    drawTable();
  }
}

void TerminalScreen::drawTable() {
  erase();
  const int width = std::min(COLS, kMaxWidth);
  int line = -scroll_;
  footer_ = currentFooter(storyboard_.controller().batteryInfo.get());
  const std::vector<std::wstring> footer = folded(footer_, std::max(1, COLS - 2));
  const int footerTop = LINES - static_cast<int>(footer.size());
  auto visible = [&](int y) { return y >= 0 && y < footerTop; };

  if (visible(line)) {
    attron(A_BOLD);
    mvaddstr(line, 1, "Brimwell");
    attroff(A_BOLD);
  }
  line += 2;
  for (const TableSection& section : storyboard_.sections()) {
    if (visible(line)) {
      attron(A_BOLD | A_UNDERLINE);
      mvaddwstr(line, 1, terminal::widen(section.title).c_str());
      attroff(A_BOLD | A_UNDERLINE);
    }
    ++line;
    for (const TableRow& row : section.rows) {
      if (row.onlyWithValue && !row.value->text()) continue;
      if (visible(line))
        drawRow(line, row.caption->text().value_or(""), row.value->text().value_or(""),
                row.value->textColor(), width);
      ++line;
    }
    ++line;
  }
  // The user's other batteries below the battery's lines, where the host lists any.
  devices_ = deviceLines(storyboard_.controller());
  if (!devices_.empty() && visible(line)) {
    attron(A_BOLD | A_UNDERLINE);
    mvaddwstr(line, 1, terminal::widen(localized("Devices")).c_str());
    attroff(A_BOLD | A_UNDERLINE);
  }
  if (!devices_.empty()) ++line;
  for (const auto& [caption, value] : devices_) {
    if (visible(line))
      drawRow(line, deviceRowCaption(caption, value, width), value, std::nullopt, width);
    ++line;
  }
  attron(A_DIM);
  for (size_t i = 0; i < footer.size(); ++i) {
    mvaddwstr(footerTop + static_cast<int>(i), 1, footer[i].c_str());
  }
  attroff(A_DIM);
  refresh();
}

void TerminalScreen::drawRow(int line, const std::string& caption, const std::string& text,
                             std::optional<UIColor> color, int width) {
  mvaddwstr(line, 3, terminal::widen(caption).c_str());
  const std::wstring value = terminal::widen(text);
  const int x = std::max(3, width - 1 - terminal::displayWidth(value));
  const short pair = color ? colors_.pairFor(*color) : 0;
  if (pair) attron(COLOR_PAIR(pair));
  attron(A_BOLD);
  mvaddwstr(line, x, value.c_str());
  attroff(A_BOLD);
  if (pair) attroff(COLOR_PAIR(pair));
}

bool TerminalScreen::handleInput() {
  bool redraw = false;
  for (int key = getch(); key != ERR; key = getch()) {
    if (!graphShown_) {
      if (!handleTableKey(key, redraw)) return false;
      continue;
    }
    const GraphScreen::Answer answer = graph_.handleKey(key);
    graphShown_ = answer != GraphScreen::Answer::back;
    redraw = redraw || answer != GraphScreen::Answer::none;
  }
  if (redraw) draw();
  return true;
}

bool TerminalScreen::handleTableKey(int key, bool& redraw) {
  switch (key) {
    case 'q':
    case 'Q':
      return false;
    case 'g':
    case 'G':
      graphShown_ = true;
      graph_.open();
      redraw = true;
      break;
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
  return true;
}
