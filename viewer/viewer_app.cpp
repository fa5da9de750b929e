#include "viewer/viewer_app.h"

#include <unistd.h>

#include <cstring>
#include <iostream>

#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_view.h"
#include "terminal/terminal_text.h"
#include "viewer/bid_app_delegate.h"
#include "viewer/main_storyboard.h"
#include "viewer/once_output.h"
#include "viewer/terminal_screen.h"

namespace {

constexpr const char* kUsage =
    "usage: BrimwellViewer [--once]\n"
    "Shows the phone's battery from the battery status file, refreshed every 10 seconds.\n"
    "  --once   print one refresh, one line per screen line, and exit\n"
    "  --help   show this help\n"
    "Keys on the live screen: q quits, arrows scroll.\n";

int runLiveScreen(MainStoryboard& storyboard) {
  TerminalScreen screen(storyboard);
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  unsigned long drawn = UIView::displayGeneration();
  screen.draw();
  // The terminal going away ends the viewer too.
  loop.addReadSource(
      STDIN_FILENO,
      [&] {
        if (!screen.handleInput()) loop.stop();
      },
      [&] { loop.stop(); });
  // A resize interrupts the sleep; curses then reports it as a key.
  loop.setInterruptHandler([&] {
    if (!screen.handleInput()) loop.stop();
  });
  loop.addObserver([&] {
    if (UIView::displayGeneration() != drawn) {
      drawn = UIView::displayGeneration();
      screen.draw();
    }
  });
  loop.stopOnTerminationSignals();
  loop.run();
  return 0;
}

}  // namespace

int runViewer(int argc, char** argv) {
  bool once = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--once") == 0) {
      once = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << "BrimwellViewer: unknown argument '" << argv[i] << "' (try --help)\n";
      return 2;
    }
  }
  if (!once && (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))) {
    std::cerr
        << "BrimwellViewer: the live screen needs a terminal; use --once to print one refresh\n";
    return 2;
  }
  terminal::useUtf8Characters();

  BIDAppDelegate delegate;
  MainStoryboard storyboard;
  delegate.setWindow(storyboard.window());
  delegate.applicationDidFinishLaunchingWithOptions();
  storyboard.controller().viewDidLoad();
  delegate.applicationDidBecomeActive();

  int status = 0;
  if (once) {
    printOutlets(storyboard.controller(), std::cout);
    std::cout.flush();
    status = std::cout ? 0 : 1;
  } else {
    status = runLiveScreen(storyboard);
  }
  delegate.applicationWillTerminate();
  return status;
}
