#pragma once

#include <systemd/sd-event.h>

#include <functional>

struct udev;
struct udev_monitor;

// Tells when the power supplies may have changed: the kernel's events for them, and where the
// folder is not the kernel's (no event speaks for it), a look every two seconds.
namespace brimwell::charge {

class SupplyWatch {
 public:
  SupplyWatch(sd_event* event, bool look, std::function<void()> changed);
  ~SupplyWatch();
  SupplyWatch(const SupplyWatch&) = delete;
  SupplyWatch& operator=(const SupplyWatch&) = delete;

 private:
  static int onEvent(sd_event_source* source, int fd, uint32_t events, void* self);
  static int onLook(sd_event_source* source, uint64_t usec, void* self);

  std::function<void()> changed_;
  struct udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  sd_event_source* events_ = nullptr;
  sd_event_source* look_ = nullptr;
};

}  // namespace brimwell::charge
