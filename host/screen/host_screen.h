#pragma once

#include <string>

#include "host/screen/screen_presenter.h"
#include "host/screen/status_bar.h"
#include "platform/uikit/ui_geometry.h"
#include "terminal/terminal_text.h"

namespace host {

// The interactive host's terminal: takes it over on construction, gives it back on destruction.
class HostScreen {
 public:
  HostScreen();
  ~HostScreen();
  HostScreen(const HostScreen&) = delete;
  HostScreen& operator=(const HostScreen&) = delete;

  void draw(const HostScreenState& state, ScreenPresenter& presenter);
  // The next key, or -1 when none is waiting.
  int nextKey();

 private:
  void drawDevice(const HostScreenState& state, int top);
  void drawLaptop(const HostScreenState& state, int top);
  void drawDialogs(const ScreenPresenter& presenter);

  terminal::TerminalColorPairs colors_;
};

}  // namespace host
