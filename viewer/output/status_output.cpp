#include "viewer/output/status_output.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <memory>
#include <utility>

#include "common/device_keys.h"
#include "common/dictionary_file.h"
#include "common/settings_keys.h"
#include "common/status_file_watcher.h"
#include "common/status_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_view.h"
#include "viewer/devices/device_text.h"
#include "viewer/output/bar_formats.h"
#include "viewer/output/device_bars.h"
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
  s.devices = controller.devicesShown;
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

namespace {

// One device's line while following: an empty one (waybar: an empty text) when it is not shown,
// so that the bar clears.
std::string followedDevice(OutputFormat format, const std::optional<KnownDevice>& d, double at) {
  switch (format) {
    case OutputFormat::waybar:
      return deviceWaybarLine(d, at) + "\n";
    case OutputFormat::i3blocks: {
      const std::string lines = deviceI3blocksLines(d);
      return lines.substr(0, lines.find('\n')) + "\n";
    }
    case OutputFormat::polybar:
      return devicePolybarLine(d) + "\n";
    case OutputFormat::json:
    case OutputFormat::screen:
    case OutputFormat::csv:
      break;
  }
  return std::string();
}

// Follows the status file and the devices file, each watched as a folder entry, and prints a
// line at each change of what is shown.
class Follower {
 public:
  Follower(OutputFormat format, BIDMainTableViewController& controller,
           std::optional<std::string> device)
      : format_(format),
        controller_(controller),
        device_(std::move(device)),
        path_(platform::deviceFilePath(brimwell::kBatteryStatusPath)),
        devicesPath_(platform::deviceFilePath(brimwell::kDevicesStatusPath)),
        watcher_(path_, [this] { push(); }),
        devicesWatcher_(devicesPath_, [this] { push(); }) {}
  int run();

 private:
  void push();
  std::string line();
  bool settled() const {
    return watcher_.watching() && devicesWatcher_.watching() && shown_.has_value();
  }
  void keepWatching();
  void listen(StatusFileWatcher& watcher);

  OutputFormat format_;
  BIDMainTableViewController& controller_;
  std::optional<std::string> device_;
  std::string path_, devicesPath_;
  StatusFileWatcher watcher_, devicesWatcher_;
  NSRunLoop& loop_ = NSRunLoop::mainRunLoop();
  bool first_ = true;
  std::optional<std::string> shown_, devicesShown_;  // the files' bytes the last line was made from
  bool shownStale_ = false;
  std::string lastLine_;
  std::shared_ptr<NSTimer> staleSoon_, lookForFolder_;
};

std::string Follower::line() {
  if (!device_) return followed(format_, formatted(format_, latest(controller_), barContext()));
  return followedDevice(format_, findDevice(controller_.devicesShown, *device_), now());
}

void Follower::push() {
  std::optional<std::string> bytes = brimwell::readSmallRegularFile(path_);
  std::optional<std::string> devices = brimwell::readSmallRegularFile(devicesPath_);
  const auto stale = staleness(bytes.has_value());
  // A host that stopped touches the file no more: a line with the stale mark when it ages.
  if (staleSoon_) staleSoon_->invalidate();
  staleSoon_.reset();
  if (stale.becomesStaleIn)
    staleSoon_ = NSTimer::scheduledTimerWithTimeInterval(
        *stale.becomesStaleIn, [this] { push(); }, false);
  const bool same = bytes == shown_ && devices == devicesShown_ && stale.now == shownStale_;
  if (!first_ && same) return;  // touched, not changed
  shown_ = std::move(bytes);
  devicesShown_ = std::move(devices);
  shownStale_ = stale.now;
  controller_.showBatteryInfo();
  const std::string text = line();
  // A line only where it says something new: the battery's at a change of the devices it does
  // not show, one device's at a change of the battery or of another device.
  if (!first_ && text == lastLine_) return;
  first_ = false;
  lastLine_ = text;
  std::cout << text << std::flush;
  if (!std::cout) loop_.stop();
}

// A folder that is not there yet, or went, is looked for now and then; so is one made again
// while there is no status file, as a folder some process holds open says nothing of its going
// (the watcher compares the folder's inode).
void Follower::keepWatching() {
  if (settled() || lookForFolder_) return;
  lookForFolder_ = NSTimer::scheduledTimerWithTimeInterval(
      kFolderLook,
      [this] {
        watcher_.watchAgain();
        devicesWatcher_.watchAgain();
        if (!settled()) return;
        lookForFolder_->invalidate();
        lookForFolder_.reset();
      },
      true);
}

void Follower::listen(StatusFileWatcher& watcher) {
  if (watcher.descriptor() < 0) return;
  loop_.addReadSource(watcher.descriptor(), [this, &watcher] {
    watcher.onReadable();
    watcher.watchAgain();
    keepWatching();
  });
}

int Follower::run() {
  loop_.stopOnTerminationSignals();  // before the first line, which a reader may answer at once
  ::signal(SIGPIPE, SIG_IGN);        // a reader that went is a write that fails
  // The watchers say when; the refresh timer would only wake the follower for nothing.
  if (controller_.refreshTimer) controller_.refreshTimer->invalidate();
  // Watched first (at construction), then read: a change between the two would be missed.
  push();
  listen(watcher_);
  listen(devicesWatcher_);
  keepWatching();
  // A reader at the other end of a pipe that goes away is seen at once, not at the next line.
  struct stat out;
  const bool pipe =
      ::fstat(STDOUT_FILENO, &out) == 0 && (S_ISFIFO(out.st_mode) || S_ISSOCK(out.st_mode));
  if (pipe)
    loop_.addReadSource(
        STDOUT_FILENO, [] {}, [this] { loop_.stop(); });
  if (std::cout) loop_.run();
  if (pipe) loop_.removeReadSource(STDOUT_FILENO);
  if (lookForFolder_) lookForFolder_->invalidate();
  if (staleSoon_) staleSoon_->invalidate();
  for (const StatusFileWatcher* w : {&watcher_, &devicesWatcher_}) {
    if (w->descriptor() >= 0) loop_.removeReadSource(w->descriptor());
  }
  return 0;
}

}  // namespace

int printStatusOnce(OutputFormat format, BIDMainTableViewController& controller,
                    const std::optional<std::string>& device) {
  if (device) {
    const auto d = findDevice(controller.devicesShown, *device);
    std::cout << deviceBarOutput(format, d, now()) << std::flush;
    if (!std::cout) return 1;
    return format == OutputFormat::i3blocks ? deviceI3blocksExitStatus(d) : 0;
  }
  const StatusSummary s = latest(controller);
  const BarContext c = barContext();
  std::cout << formatted(format, s, c) << std::flush;
  if (!std::cout) return 1;
  return format == OutputFormat::i3blocks ? i3blocksExitStatus(s, c) : 0;
}

int followStatus(OutputFormat format, BIDMainTableViewController& controller,
                 const std::optional<std::string>& device) {
  Follower follower(format, controller, device);
  return follower.run();
}
