#include "host/app/source_driver.h"

#include <utility>

#include <algorithm>

#include "common/status_keys.h"
#include "host/classes/host_classes.h"
#include "platform/foundation/installed_places.h"
#include "platform/foundation/ns_file_manager.h"

namespace host {

SourceDriver::SourceDriver(BatterySource& source, const HostOptions& options,
                           std::function<void(const brimwell::Plist&)> beforeDelivery,
                           LowBatteryWatch* watch)
    : source_(source),
      beforeDelivery_(std::move(beforeDelivery)),
      watch_(watch),
      recordPath_(options.record) {
  if (!recordPath_.empty()) recorder_.emplace(recordPath_);
}

double SourceDriver::secondsUntilNextLook() const {
  const double source = source_.secondsUntilNextLook();
  const auto due = watch_ ? watch_->secondsUntilDue(source_.simulatedSeconds()) : std::nullopt;
  return due ? std::min(source, *due) : source;
}

const brimwell::Plist* SourceDriver::tick(double realSeconds) {
  // An action is taken only on a fresh reading.
  if (watch_ && watch_->actionDueBy(source_.simulatedSeconds() + realSeconds)) source_.lookNow();
  std::optional<brimwell::Plist> status = source_.tick(realSeconds);
  if (watch_) {
    const double now = source_.simulatedSeconds();
    if (source_.slept()) {
      watch_->onResume(now);
      // The source read afresh after the sleep; an unchanged battery is still a fresh reading.
      if (!status && last_) watch_->onStatus(*last_, now);
    }
    if (status) watch_->onStatus(*status, now);
    watch_->onTime(now);
  }
  if (!status) {
    keepStatusFileCurrent();
    return nullptr;
  }
  if (recorder_) {
    if (auto stopped = recorder_->add(source_.simulatedSeconds(), *status))
      notices_.push_back(std::move(*stopped));
  }
  if (beforeDelivery_) beforeDelivery_(*status);
  deliverStatus(springBoard_, *status);
  ++delivered_;
  last_ = std::move(status);
  return &*last_;
}

// A reading with nothing new marks the status file current, so that its age tells how old the
// figures are; a status file that was deleted meanwhile is written again.
void SourceDriver::keepStatusFileCurrent() {
  if (!source_.looked() || !last_) return;
  if (NSFileManager::defaultManager().markItemCurrentAtPath(brimwell::kBatteryStatusPath)) return;
  restoreStatusFile();
}

// Its folder is made again first, should that have gone too (a cleaner that empties the
// runtime folder).
void SourceDriver::restoreStatusFile() {
  if (!last_ || NSFileManager::defaultManager().fileExistsAtPath(brimwell::kBatteryStatusPath))
    return;
  if (platform::makeFolderFor(brimwell::kBatteryStatusPath)) deliverStatus(springBoard_, *last_);
}

std::vector<std::string> SourceDriver::takeNotices() {
  return std::exchange(notices_, {});
}

bool SourceDriver::finish(std::string& why) {
  std::string cause;
  if (!recorder_ || recorder_->write(cause)) return true;
  why = "cannot write " + recordPath_ + ": " + cause;
  return false;
}

}  // namespace host
