#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"
#include "host/app/host_options.h"
#include "host/app/low_battery_watch.h"
#include "host/classes/host_classes.h"
#include "host/sources/battery_source.h"
#include "host/sources/replay_source.h"

namespace host {

// Runs a source into the host, for both the screen and the headless run: ticks it, delivers each
// status change to the SpringBoard object, and keeps a recording only when one was asked for.
// Made after startHost(), once the host's classes exist.
class SourceDriver {
 public:
  // beforeDelivery, if given, sees each status change before the plug-in does; the watch, if
  // given, sees each status change and the host's clock, and has its deadlines kept.
  SourceDriver(BatterySource& source, const HostOptions& options,
               std::function<void(const brimwell::Plist&)> beforeDelivery = {},
               LowBatteryWatch* watch = nullptr);

  // Ticks the source; the status change delivered now, if any.
  const brimwell::Plist* tick(double realSeconds);
  // When to tick next: when the source asks to be looked at, or a warning is due.
  double secondsUntilNextLook() const;
  size_t delivered() const { return delivered_; }
  const std::optional<brimwell::Plist>& last() const { return last_; }
  // Writes the status file again from the last status when it is not there.
  void restoreStatusFile();
  // Lines to say since the last call (a recording that stops at its size).
  std::vector<std::string> takeNotices();
  // Writes the recording, if one was asked for; false with why set when it cannot be written.
  bool finish(std::string& why);

 private:
  void keepStatusFileCurrent();

  BatterySource& source_;
  std::function<void(const brimwell::Plist&)> beforeDelivery_;
  LowBatteryWatch* watch_;
  std::string recordPath_;
  std::optional<Recorder> recorder_;
  SpringBoard springBoard_;
  size_t delivered_ = 0;
  std::optional<brimwell::Plist> last_;
  std::vector<std::string> notices_;
};

}  // namespace host
