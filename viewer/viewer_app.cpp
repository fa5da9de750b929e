#include "viewer/viewer_app.h"

#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>

#include "platform/foundation/device_environment.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_view.h"
#include "terminal/terminal_text.h"
#include "viewer/bid_app_delegate.h"
#include "viewer/json_output.h"
#include "viewer/main_storyboard.h"
#include "viewer/once_output.h"
#include "viewer/terminal_screen.h"

namespace {

constexpr const char* kUsage =
    "usage: BrimwellViewer [--once | --json [--follow]]\n"
    "Shows the phone's battery from the battery status file, refreshed every 10 seconds.\n"
    "  --once     print one refresh, one line per screen line, and exit\n"
    "  --json     print one refresh as a JSON object and exit\n"
    "  --follow   with --json: a JSON object per line at every refresh, until stopped\n"
    "  --version  print the version and exit\n"
    "  --help     show this help\n"
    "Keys on the live screen: q quits, arrows scroll.\n";

struct ViewerOptions {
  bool version = false;
  bool once = false;
  bool json = false;
  bool follow = false;
};

// False, with the message already said, on a bad command line; help asks for the usage.
bool parseViewerOptions(int argc, char** argv, ViewerOptions& o, bool& help) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--once") {
      o.once = true;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--follow") {
      o.follow = true;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else {
      std::cerr << "BrimwellViewer: unknown argument '" << arg << "' (try --help)\n";
      return false;
    }
  }
  const char* wrong = o.once && o.json      ? "--once and --json are two outputs: choose one"
                      : o.follow && !o.json ? "--follow goes with --json"
                                            : nullptr;
  if (wrong) std::cerr << "BrimwellViewer: " << wrong << " (try --help)\n";
  return !wrong;
}

std::string latestJson(const BIDMainTableViewController& controller) {
  const std::string model =
      controller.deviceLabel ? controller.deviceLabel->text().value_or("") : std::string();
  return refreshJson(model, *controller.batteryInfo);
}

// A JSON object per refresh, each flushed, until stopped or until nobody reads them.
int followJson(BIDMainTableViewController& controller) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.stopOnTerminationSignals();  // before the first line, which a reader may answer at once
  const BIDBatteryInfo* printed = controller.batteryInfo.get();
  std::cout << latestJson(controller) << std::endl;
  loop.addObserver([&] {
    if (controller.batteryInfo.get() == printed) return;
    printed = controller.batteryInfo.get();
    std::cout << latestJson(controller) << std::endl;
    if (!std::cout) loop.stop();
  });
  if (std::cout) loop.run();
  return std::cout ? 0 : 1;
}

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
    const bool footerChanged = screen.footerChanged();
    if (UIView::displayGeneration() != drawn || footerChanged) {
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
  if (platform::guardStandardDescriptors()) std::cout.setstate(std::ios::badbit);
  ViewerOptions options;
  bool help = false;
  if (!parseViewerOptions(argc, argv, options, help)) return 2;
  if (help || options.version) {
    std::cout << (help ? kUsage : "BrimwellViewer " BRIMWELL_VERSION "\n") << std::flush;
    return std::cout ? 0 : 1;
  }
  const bool live = !options.once && !options.json;
  if (live && (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))) {
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
  if (options.once) {
    printOutlets(storyboard.controller(), std::cout);
    std::cout.flush();
    status = std::cout ? 0 : 1;
  } else if (options.json && !options.follow) {
    std::cout << latestJson(storyboard.controller()) << std::endl;
    status = std::cout ? 0 : 1;
  } else if (options.json) {
    status = followJson(storyboard.controller());
  } else {
    status = runLiveScreen(storyboard);
  }
  delegate.applicationWillTerminate();
  return status;
}
