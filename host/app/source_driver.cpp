#include "host/app/source_driver.h"

#include "host/classes/host_classes.h"

namespace host {

SourceDriver::SourceDriver(BatterySource& source, const HostOptions& options,
                           std::function<void(const brimwell::Plist&)> beforeDelivery)
    : source_(source), beforeDelivery_(std::move(beforeDelivery)), recordPath_(options.record) {
  if (!recordPath_.empty()) recorder_.emplace();
}

const brimwell::Plist* SourceDriver::tick(double realSeconds) {
  std::optional<brimwell::Plist> status = source_.tick(realSeconds);
  if (!status) return nullptr;
  if (recorder_) recorder_->add(source_.simulatedSeconds(), *status);
  if (beforeDelivery_) beforeDelivery_(*status);
  deliverStatus(springBoard_, *status);
  ++delivered_;
  last_ = std::move(status);
  return &*last_;
}

bool SourceDriver::finish(std::string& why) const {
  std::string cause;
  if (!recorder_ || recorder_->write(recordPath_, cause)) return true;
  why = "cannot write " + recordPath_ + ": " + cause;
  return false;
}

}  // namespace host
