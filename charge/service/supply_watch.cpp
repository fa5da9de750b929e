#include "charge/service/supply_watch.h"

#include <libudev.h>

namespace brimwell::charge {
namespace {

constexpr uint64_t kLookUsec = 2'000'000;

}  // namespace

SupplyWatch::SupplyWatch(sd_event* event, bool look, std::function<void()> changed)
    : changed_(std::move(changed)) {
  udev_ = udev_new();
  // The kernel's own events: they reach the service's private network, where udevd's do not.
  monitor_ = udev_ ? udev_monitor_new_from_netlink(udev_, "kernel") : nullptr;
  if (monitor_ &&
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "power_supply", nullptr) >= 0 &&
      udev_monitor_enable_receiving(monitor_) >= 0) {
    sd_event_add_io(event, &events_, udev_monitor_get_fd(monitor_), EPOLLIN, onEvent, this);
  }
  if (look) sd_event_add_time_relative(event, &look_, CLOCK_MONOTONIC, kLookUsec, 0, onLook, this);
}

SupplyWatch::~SupplyWatch() {
  sd_event_source_unref(look_);
  sd_event_source_unref(events_);
  udev_monitor_unref(monitor_);
  udev_unref(udev_);
}

int SupplyWatch::onEvent(sd_event_source*, int, uint32_t, void* self) {
  auto* watch = static_cast<SupplyWatch*>(self);
  bool any = false;
  while (udev_device* device = udev_monitor_receive_device(watch->monitor_)) {
    udev_device_unref(device);
    any = true;
  }
  if (any) watch->changed_();
  return 0;
}

int SupplyWatch::onLook(sd_event_source* source, uint64_t, void* self) {
  static_cast<SupplyWatch*>(self)->changed_();
  sd_event_source_set_time_relative(source, kLookUsec);
  return sd_event_source_set_enabled(source, SD_EVENT_ON);
}

}  // namespace brimwell::charge
