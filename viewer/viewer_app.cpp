#include "viewer/viewer_app.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/foundation/device_environment.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_view.h"
#include "terminal/terminal_text.h"
#include "viewer/devices/device_text.h"
#include "viewer/output/history_command.h"
#include "viewer/output/status_output.h"
#include "viewer/table/bid_app_delegate.h"
#include "viewer/table/history_reading.h"
#include "viewer/table/last_sleep.h"
#include "viewer/table/main_storyboard.h"
#include "viewer/table/once_output.h"
#include "viewer/terminal_screen.h"
#include "viewer/viewer_options.h"

namespace {

int runLiveScreen(MainStoryboard& storyboard) {
  // The graph marks the sleeps of the span it reads, and one begun a while before it.
  TerminalScreen screen(storyboard, [](std::optional<double> since, bool withHealth) {
    constexpr double kLongestSleep = 7 * 86400;
    return readHistory(since, withHealth,
                       since ? std::optional(*since - kLongestSleep) : std::nullopt);
  });
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
    const bool footerChanged = screen.footerChanged() || screen.devicesChanged();
    if (UIView::displayGeneration() != drawn || footerChanged) {
      drawn = UIView::displayGeneration();
      screen.draw();
    }
  });
  loop.stopOnTerminationSignals();
  loop.run();
  return 0;
}

// The name the viewer was run as, which its messages go under: it answers to brimwell too.
std::string programName(int argc, char** argv) {
  const std::string path = argc > 0 && argv[0] ? argv[0] : "";
  const std::string name = path.substr(path.rfind('/') + 1);
  return name.empty() ? "BrimwellViewer" : name;
}

}  // namespace

int runViewer(int argc, char** argv) {
  if (platform::guardStandardDescriptors()) std::cout.setstate(std::ios::badbit);
  const std::string name = programName(argc, argv);
  ViewerOptions options;
  std::string why;
  if (!parseViewerOptions(argc, argv, options, why)) {
    std::cerr << name << ": " << why << " (try --help)\n";
    return 2;
  }
  if (options.help || options.version) {
    std::cout << (options.help ? viewerUsage(name) : "BrimwellViewer " BRIMWELL_VERSION "\n")
              << std::flush;
    return std::cout ? 0 : 1;
  }
  if (options.history != HistoryTable::none)
    return printHistoryTable(options.history, options.format, options.sinceSeconds);
  const bool live = !options.once && options.format == OutputFormat::screen;
  if (live && (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))) {
    std::cerr << name << ": the live screen needs a terminal; use --once to print one refresh\n";
    return 2;
  }
  terminal::useUtf8Characters();

  // The outputs that show the last sleep read it; the bars, run every few seconds, do not.
  LastSleepReader lastSleep([](double since) { return readHistory(std::nullopt, false, since); });
  BIDAppDelegate delegate;
  MainStoryboard storyboard;
  if (options.once || live || options.format == OutputFormat::json) {
    storyboard.controller().lastSleep = [&lastSleep] {
      using std::chrono::system_clock;
      return lastSleep.at(
          std::chrono::duration<double>(system_clock::now().time_since_epoch()).count());
    };
  }
  delegate.setWindow(storyboard.window());
  delegate.applicationDidFinishLaunchingWithOptions();
  storyboard.controller().viewDidLoad();
  delegate.applicationDidBecomeActive();

  // A bar's empty output hides its module; a device named wrong is said beside it.
  const auto& devices = storyboard.controller().devicesShown;
  if (options.device && !findDevice(devices, *options.device))
    std::cerr << name << ": " << noSuchDeviceNote(devices, *options.device) << "\n";
  int status = 0;
  if (options.once) {
    printOutlets(storyboard.controller(), std::cout);
    std::cout.flush();
    status = std::cout ? 0 : 1;
  } else if (options.follow) {
    status = followStatus(options.format, storyboard.controller(), options.device);
  } else if (!live) {
    status = printStatusOnce(options.format, storyboard.controller(), options.device);
  } else {
    status = runLiveScreen(storyboard);
  }
  delegate.applicationWillTerminate();
  return status;
}
