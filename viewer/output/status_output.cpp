#include "viewer/output/status_output.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <memory>

#include "common/dictionary_file.h"
#include "common/settings_keys.h"
#include "common/status_file_watcher.h"
#include "common/status_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_view.h"
#include "viewer/output/bar_formats.h"
#include "viewer/output/json_output.h"
#include "viewer/table/bid_main_table_view_controller.h"

namespace {

// A folder that is not there yet is looked for this often.
constexpr double kFolderLook = 2.0;

double now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The low levels a bar marks, as the host warns at them.
BarContext barContext() {
  const NSDictionary settings = NSDictionary::dictionaryWithContentsOfFile(brimwell::kSettingsPath);
  BarContext c;
  c.now = now();
  const auto level = [&](const char* key, int fallback) {
    const NSObjectValue value = settings.objectForKey(key);
    return value.isNil() ? fallback : value.intValue();
  };
  c.lowLevel = level(brimwell::setting::kLowLevel, brimwell::low_battery_default::kLowLevel);
  c.criticalLevel =
      level(brimwell::setting::kCriticalLevel, brimwell::low_battery_default::kCriticalLevel);
  return c;
}

// Whether the status file is stale now, and if not, in how many seconds it will be.
struct Staleness {
  bool now = false;
  std::optional<double> becomesStaleIn;
};

Staleness staleness(bool thereIsAFile) {
  const auto writtenAt =
      NSFileManager::defaultManager().modificationDateOfItemAtPath(brimwell::kBatteryStatusPath);
  if (!thereIsAFile || !writtenAt) return {};
  const double age = now() - *writtenAt;
  if (age > kStaleAfterSeconds) return {true, std::nullopt};
  return {false, kStaleAfterSeconds - age + 0.5};  // a moment past, so that the bars agree
}

StatusSummary latest(const BIDMainTableViewController& controller) {
  const std::string model =
      controller.deviceLabel ? controller.deviceLabel->text().value_or("") : std::string();
  StatusSummary s = summarize(model, *controller.batteryInfo);
  s.lastSleep = controller.lastSleepShown;
  return s;
}

// The output for the format, with its trailing newline (none for an empty i3blocks output).
std::string formatted(OutputFormat format, const StatusSummary& s, const BarContext& c) {
  switch (format) {
    case OutputFormat::waybar:
      return waybarLine(s, c) + "\n";
    case OutputFormat::i3blocks:
      return i3blocksLines(s, c);
    case OutputFormat::polybar:
      return polybarLine(s, c) + "\n";
    case OutputFormat::json:
    case OutputFormat::screen:
    case OutputFormat::csv:  // the history's alone
      break;
  }
  return summaryJson(s, c.now) + "\n";
}

// What a follower prints of it: i3blocks, run persistently, takes each line as a new full text,
// so only that (an empty one hides the block).
std::string followed(OutputFormat format, const std::string& output) {
  if (format != OutputFormat::i3blocks) return output;
  return output.substr(0, output.find('\n')) + "\n";
}

}  // namespace

int printStatusOnce(OutputFormat format, BIDMainTableViewController& controller) {
  const StatusSummary s = latest(controller);
  const BarContext c = barContext();
  std::cout << formatted(format, s, c) << std::flush;
  if (!std::cout) return 1;
  return format == OutputFormat::i3blocks ? i3blocksExitStatus(s, c) : 0;
}

int followStatus(OutputFormat format, BIDMainTableViewController& controller) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.stopOnTerminationSignals();  // before the first line, which a reader may answer at once
  ::signal(SIGPIPE, SIG_IGN);       // a reader that went is a write that fails
  // The watcher says when; the refresh timer would only wake the follower for nothing.
  if (controller.refreshTimer) controller.refreshTimer->invalidate();
  const std::string path = platform::deviceFilePath(brimwell::kBatteryStatusPath);
  bool first = true;
  std::optional<std::string> shown;  // the status file's bytes the last line was made from
  bool shownStale = false;
  std::shared_ptr<NSTimer> staleSoon;
  std::function<void()> push = [&] {
    std::optional<std::string> bytes = brimwell::readSmallRegularFile(path);
    const auto stale = staleness(bytes.has_value());
    // A host that stopped touches the file no more: a line with the stale mark when it ages.
    if (staleSoon) staleSoon->invalidate();
    staleSoon.reset();
    if (stale.becomesStaleIn)
      staleSoon = NSTimer::scheduledTimerWithTimeInterval(*stale.becomesStaleIn, push, false);
    if (!first && bytes == shown && stale.now == shownStale) return;  // touched, not changed
    first = false;
    shown = std::move(bytes);
    shownStale = stale.now;
    controller.showBatteryInfo();
    std::cout << followed(format, formatted(format, latest(controller), barContext()))
              << std::flush;
    if (!std::cout) loop.stop();
  };
  // Watched first, then read: a change between the two would otherwise be missed.
  StatusFileWatcher watcher(path, push);
  push();
  // A folder that is not there yet, or went, is looked for now and then; so is one made again
  // while there is no status file, as a folder some process holds open says nothing of its
  // going (the watcher compares the folder's inode).
  std::shared_ptr<NSTimer> lookForFolder;
  const auto settled = [&] { return watcher.watching() && shown.has_value(); };
  const auto keepWatching = [&] {
    if (settled() || lookForFolder) return;
    lookForFolder = NSTimer::scheduledTimerWithTimeInterval(
        kFolderLook,
        [&] {
          watcher.watchAgain();
          if (!settled()) return;
          lookForFolder->invalidate();
          lookForFolder.reset();
        },
        true);
  };
  if (watcher.descriptor() >= 0) {
    loop.addReadSource(watcher.descriptor(), [&] {
      watcher.onReadable();
      watcher.watchAgain();
      keepWatching();
    });
  }
  keepWatching();
  // A reader at the other end of a pipe that goes away is seen at once, not at the next line.
  struct stat out;
  const bool pipe =
      ::fstat(STDOUT_FILENO, &out) == 0 && (S_ISFIFO(out.st_mode) || S_ISSOCK(out.st_mode));
  if (pipe)
    loop.addReadSource(
        STDOUT_FILENO, [] {}, [&] { loop.stop(); });
  if (std::cout) loop.run();
  if (pipe) loop.removeReadSource(STDOUT_FILENO);
  if (lookForFolder) lookForFolder->invalidate();
  if (staleSoon) staleSoon->invalidate();
  if (watcher.descriptor() >= 0) loop.removeReadSource(watcher.descriptor());
  return 0;
}
