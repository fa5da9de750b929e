#include "tools/prefs_charge_bus.h"

#include <systemd/sd-bus.h>
#include <time.h>

#include <cerrno>
#include <cstring>

#include "charge/charge_bus.h"

namespace prefs {
namespace {

using Method = ChargeCall::Method;

struct Waiting {
  Method method;
  bool done = false;
  ChargeAnswer answer;
};

double monotonicSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

uint64_t microseconds(double seconds) {
  return static_cast<uint64_t>(seconds * 1e6);
}

int readLimits(sd_bus_message* reply, std::vector<BatteryLimits>& limits) {
  int r = sd_bus_message_enter_container(reply, 'a', "(sbubub)");
  while (r > 0) {
    const char* name = nullptr;
    int hasEnd = 0, hasStart = 0, fullOnce = 0;
    uint32_t end = 0, start = 0;
    r = sd_bus_message_read(reply, "(sbubub)", &name, &hasEnd, &end, &hasStart, &start, &fullOnce);
    if (r > 0) limits.push_back({name, hasEnd != 0, end, hasStart != 0, start, fullOnce != 0});
  }
  return r < 0 ? r : sd_bus_message_exit_container(reply);
}

int replied(sd_bus_message* reply, void* data, sd_bus_error*) {
  auto* w = static_cast<Waiting*>(data);
  w->done = true;
  ChargeAnswer& a = w->answer;
  if (const sd_bus_error* e = sd_bus_message_get_error(reply)) {
    a.kind = ChargeAnswer::Kind::error;
    a.errorName = e->name ? e->name : "";
    a.message = e->message ? e->message : "";
    return 0;
  }
  if (w->method == Method::getLimits && readLimits(reply, a.limits) < 0) {
    a.kind = ChargeAnswer::Kind::error;
    a.errorName = "org.freedesktop.DBus.Error.InvalidSignature";
    a.message = "the charge service's list of batteries cannot be read";
  }
  return 0;
}

sd_bus_message* newCall(sd_bus* bus, const ChargeCall& call) {
  namespace charge = brimwell::charge;
  const char* member = call.method == Method::getLimits   ? "GetLimits"
                       : call.method == Method::setLimits ? "SetLimits"
                                                          : "ChargeFullOnce";
  sd_bus_message* m = nullptr;
  int r = sd_bus_message_new_method_call(bus, &m, charge::kBusName, charge::kObjectPath,
                                         charge::kInterface, member);
  if (r >= 0 && call.method == Method::setLimits)
    r = sd_bus_message_append(m, "suu", call.battery.c_str(), call.end, call.start);
  if (r >= 0 && call.method == Method::chargeFullOnce)
    r = sd_bus_message_append(m, "s", call.battery.c_str());
  // polkit may then ask the user's agent for an administrator's password.
  if (r >= 0) r = sd_bus_message_set_allow_interactive_authorization(m, 1);
  if (r >= 0) return m;
  sd_bus_message_unref(m);
  return nullptr;
}

// Runs the connection until the answer came, the bound passed (-ETIMEDOUT) or the bus failed.
int waitFor(sd_bus* bus, const Waiting& w, double deadline) {
  while (!w.done) {
    int r = sd_bus_process(bus, nullptr);
    if (w.done) break;
    if (r < 0) return r;
    if (r > 0) continue;
    const double left = deadline - monotonicSeconds();
    if (left <= 0) return -ETIMEDOUT;
    r = sd_bus_wait(bus, microseconds(left));
    if (r < 0) return r;
  }
  return 0;
}

}  // namespace

ChargeAnswer callChargeService(const ChargeCall& call, double boundSeconds) {
  const double deadline = monotonicSeconds() + boundSeconds;
  Waiting w{call.method, false, {}};
  sd_bus* bus = nullptr;
  // Connecting does not wait for the bus's greeting: a bus that never answers meets the bound.
  int r = sd_bus_open_system(&bus);
  if (r >= 0) {
    sd_bus_message* m = newCall(bus, call);
    sd_bus_slot* slot = nullptr;
    // sd-bus's own bound is a backstop behind ours.
    r = m ? sd_bus_call_async(bus, &slot, m, replied, &w, microseconds(boundSeconds + 1)) : -ENOMEM;
    sd_bus_message_unref(m);
    if (r >= 0) r = waitFor(bus, w, deadline);
    sd_bus_slot_unref(slot);
    // sd-bus answers a call the closing connection took with it on the bus's behalf.
    if (r >= 0 && w.answer.kind == ChargeAnswer::Kind::error && sd_bus_is_open(bus) <= 0)
      r = -ECONNRESET;
  }
  sd_bus_close_unref(bus);
  if (r == -ETIMEDOUT) return {ChargeAnswer::Kind::timedOut, "", "", {}};
  if (r < 0) return {ChargeAnswer::Kind::noBus, "", std::strerror(-r), {}};
  return w.answer;
}

}  // namespace prefs
