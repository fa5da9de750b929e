#include "host/app/laptop_devices.h"

#include <vector>

#include "host/app/sleep_watch.h"
#include "host/bus/bus_connection.h"
#include "host/bus/logind.h"

namespace host {

LaptopDevices::LaptopDevices(const HostOptions& options, const BatterySource& source,
                             DeviceAlertOutputs outputs)
    : source_(source),
      virtualTime_(options.virtualTime),
      wallAtStart_(devices::wallClockNow()),
      alerts_(outputs) {
  if (options.sysfs.empty()) return;
  watch_.emplace(options.sysfs, outputs.line, outputs.notice);
  watch_->onChange(
      [this](const std::vector<devices::DeviceBattery>& list) { alerts_.onDevices(list, now_); });
}

void LaptopDevices::follow(SleepWatch* sleeps) {
  if (!watch_ || !sleeps || !sleeps->logind()) return;
  bluez_.emplace(sleeps->logind()->connection(), devices::wallClockNow, [this] {
    now_ = devices::wallClockNow();
    watch_->sourceChanged(now_);
  });
  watch_->addSource(&*bluez_);
}

void LaptopDevices::afterTick() {
  if (!watch_ || !source_.looked()) return;
  now_ = virtualTime_ ? wallAtStart_ + source_.simulatedSeconds() : devices::wallClockNow();
  watch_->look(now_);
  alerts_.onTime(now_);  // a device that stays low is reminded
}

}  // namespace host
