#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <list>
#include <memory>

#include "charge/service/charge_keeper.h"

// The charge service on the system bus: its three methods, each change asked of polkit first
// (within a bound, and refused when polkit does not answer), logind's wake, and the end when
// idle.
namespace brimwell::charge {

class ChargeBusService {
 public:
  ChargeBusService(sd_bus* bus, sd_event* event, ChargeKeeper& keeper);
  ~ChargeBusService();
  ChargeBusService(const ChargeBusService&) = delete;
  ChargeBusService& operator=(const ChargeBusService&) = delete;

  // Exports the object and takes the name; false, with why, when the bus refuses.
  bool start(std::string& why);
  // Something happened: the idle countdown starts again.
  void touch();

  struct Pending;

 private:
  static int onGetLimits(sd_bus_message* m, void* self, sd_bus_error* error);
  static int onSetLimits(sd_bus_message* m, void* self, sd_bus_error* error);
  static int onFullOnce(sd_bus_message* m, void* self, sd_bus_error* error);
  static int onAuthorized(sd_bus_message* reply, void* pending, sd_bus_error* error);
  static int onSleep(sd_bus_message* m, void* self, sd_bus_error* error);
  static int onIdle(sd_event_source* source, uint64_t usec, void* self);

  int askPolkit(sd_bus_message* call, std::unique_ptr<Pending> pending);
  void finish(Pending& pending, const Outcome& outcome);

  sd_bus* bus_;
  sd_event* event_;
  ChargeKeeper& keeper_;
  sd_bus_slot* object_ = nullptr;
  sd_bus_slot* sleepMatch_ = nullptr;
  sd_event_source* idle_ = nullptr;
  bool released_ = false;
  std::list<std::unique_ptr<Pending>> pending_;
};

}  // namespace brimwell::charge
