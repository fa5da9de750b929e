#include "host/app/laptop_devices.h"

#include <vector>

#include "common/settings_keys.h"
#include "host/app/sleep_watch.h"
#include "host/bus/bus_connection.h"
#include "host/bus/logind.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/run_loop.h"

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
  watchSettings();
}

LaptopDevices::~LaptopDevices() {
  if (settings_ && settings_->descriptor() >= 0) {
    NSRunLoop::mainRunLoop().removeReadSource(settings_->descriptor());
  }
}

void LaptopDevices::watchSettings() {
  if (virtualTime_) return;
  settings_.emplace(platform::deviceFilePath(brimwell::kSettingsPath), [this] {
    now_ = devices::wallClockNow();
    alerts_.onSettings(now_);
  });
  if (settings_->descriptor() >= 0) {
    NSRunLoop::mainRunLoop().addReadSource(settings_->descriptor(),
                                           [this] { settings_->onReadable(); });
  }
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
  if (settings_ && !settings_->watching()) settings_->watchAgain();
  if (!watch_ || !source_.looked()) return;
  now_ = virtualTime_ ? wallAtStart_ + source_.simulatedSeconds() : devices::wallClockNow();
  watch_->look(now_);
  alerts_.onTime(now_);  // a device that stays low is reminded
}

}  // namespace host
