#pragma once

#include <string>

#include "host/screen/screen_presenter.h"
#include "platform/uikit/ui_geometry.h"
#include "terminal/terminal_text.h"

class UIView;

namespace host {

// What the host screen shows at one moment.
struct HostScreenState {
  std::string status;  // the last status change, summarised
  std::string notice;  // the battery source's, while it is shown
  std::string clock;   // simulated time
  double speed = 60;
  bool charger = false;
  bool hasCharger = false;
  bool locked = false;
  bool pad = false;
  CGSize screen{};
  const UIView* lockScreenRoot = nullptr;  // the live charging view, when locked
};

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
  void drawDialogs(const ScreenPresenter& presenter);

  terminal::TerminalColorPairs colors_;
};

}  // namespace host
