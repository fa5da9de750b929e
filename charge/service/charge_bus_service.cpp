#include "charge/service/charge_bus_service.h"

#include <algorithm>
#include <optional>
#include <string>

#include "charge/charge_bus.h"

namespace brimwell::charge {
namespace {

// polkit may show the user's agent a password prompt; beyond this the call is refused.
constexpr uint64_t kPolkitBoundUsec = 25'000'000;
// Idle this long, with no call waiting, no "full once" waiting and nothing the kept file could not
// take, the service ends; the next call starts it again.
constexpr uint64_t kIdleUsec = 30'000'000;
// After the name is given up, calls already sent to it still get their answers.
constexpr uint64_t kLastCallsUsec = 1'000'000;
constexpr uint32_t kAllowUserInteraction = 1;
// Calls waiting for polkit at once, from one user and from all: a user flooding the service
// while polkit is slow gets refused rather than growing it without end, and blocks only
// themselves.
constexpr size_t kMostWaitingFromOneUser = 8;
constexpr size_t kMostWaiting = 64;

int replyError(sd_bus_message* call, const char* name, const std::string& message) {
  return sd_bus_reply_method_errorf(call, name, "%s", message.c_str());
}

}  // namespace

struct ChargeBusService::Pending {
  ChargeBusService* service = nullptr;
  uid_t user = 0;
  sd_bus_message* call = nullptr;
  sd_bus_slot* slot = nullptr;
  std::optional<LimitsRequest> limits;  // none: a "full once"
  std::string battery;
  std::string caller;
  ~Pending() {
    sd_bus_slot_unref(slot);
    sd_bus_message_unref(call);
  }
};

ChargeBusService::ChargeBusService(sd_bus* bus, sd_event* event, ChargeKeeper& keeper)
    : bus_(bus), event_(event), keeper_(keeper) {}

ChargeBusService::~ChargeBusService() {
  pending_.clear();
  sd_event_source_unref(idle_);
  sd_bus_slot_unref(sleepMatch_);
  sd_bus_slot_unref(object_);
}

bool ChargeBusService::start(std::string& why) {
  static const sd_bus_vtable vtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("GetLimits", "", "a(sbubub)", onGetLimits, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("SetLimits", "suu", "", onSetLimits, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("ChargeFullOnce", "s", "", onFullOnce, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };
  int r = sd_bus_add_object_vtable(bus_, &object_, kObjectPath, kInterface, vtable, this);
  if (r >= 0) {
    r = sd_bus_match_signal_async(bus_, &sleepMatch_, "org.freedesktop.login1",
                                  "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                  "PrepareForSleep", onSleep, nullptr, this);
  }
  if (r >= 0) {
    r = sd_bus_request_name(bus_, kBusName, 0);
    if (r == -EEXIST) {
      why = std::string("another brimwell-charge already serves ") + kBusName;
      return false;
    }
  }
  if (r >= 0) {
    r = sd_event_add_time_relative(event_, &idle_, CLOCK_MONOTONIC, kIdleUsec, 0, onIdle, this);
  }
  if (r < 0) why = std::string("cannot serve ") + kBusName + ": " + strerror(-r);
  return r >= 0;
}

void ChargeBusService::touch() {
  if (released_) return;
  sd_event_source_set_time_relative(idle_, kIdleUsec);
  sd_event_source_set_enabled(idle_, SD_EVENT_ONESHOT);
}

int ChargeBusService::onGetLimits(sd_bus_message* m, void* self, sd_bus_error*) {
  auto* service = static_cast<ChargeBusService*>(self);
  service->touch();
  const ChargeKeeper& keeper = service->keeper_;
  sd_bus_message* reply = nullptr;
  int r = sd_bus_message_new_method_return(m, &reply);
  if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(sbubub)");
  for (const auto& b : keeper.folder().batteries()) {
    if (r < 0) break;
    r = sd_bus_message_append(reply, "(sbubub)", b.name.c_str(), b.end.has_value(),
                              static_cast<uint32_t>(b.end.value_or(0)), b.start.has_value(),
                              static_cast<uint32_t>(b.start.value_or(0)),
                              fullOncePending(keeper.kept(), b.name, keeper.bootId()));
  }
  if (r >= 0) r = sd_bus_message_close_container(reply);
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r;
}

int ChargeBusService::onSetLimits(sd_bus_message* m, void* self, sd_bus_error*) {
  const char* battery = nullptr;
  uint32_t end = 0, start = 0;
  const int r = sd_bus_message_read(m, "suu", &battery, &end, &start);
  if (r < 0) return r;
  CheckedLimits checked = checkLimits(battery, end, start);
  if (!checked.request) return replyError(m, kErrorInvalidArgs, checked.refusal);
  auto pending = std::make_unique<Pending>();
  pending->limits = std::move(checked.request);
  return static_cast<ChargeBusService*>(self)->askPolkit(m, std::move(pending));
}

int ChargeBusService::onFullOnce(sd_bus_message* m, void* self, sd_bus_error*) {
  const char* battery = nullptr;
  const int r = sd_bus_message_read(m, "s", &battery);
  if (r < 0) return r;
  if (!isBatteryChoice(battery)) return replyError(m, kErrorInvalidArgs, "no battery is named so");
  auto pending = std::make_unique<Pending>();
  pending->battery = battery;
  return static_cast<ChargeBusService*>(self)->askPolkit(m, std::move(pending));
}

// Every change is asked of polkit for this caller, this once: nothing is remembered past the
// call.
int ChargeBusService::askPolkit(sd_bus_message* call, std::unique_ptr<Pending> pending) {
  touch();
  const char* sender = sd_bus_message_get_sender(call);
  sd_bus_creds* creds = nullptr;
  uid_t user = 0;
  const int known =
      sd_bus_query_sender_creds(call, SD_BUS_CREDS_EUID | SD_BUS_CREDS_AUGMENT, &creds);
  const bool named = sender && known >= 0 && sd_bus_creds_get_euid(creds, &user) >= 0;
  sd_bus_creds_unref(creds);
  if (!named) return replyError(call, kErrorNotAuthorized, "the caller has no name on the bus");
  const auto fromUser = std::count_if(pending_.begin(), pending_.end(),
                                      [&](const auto& p) { return p->user == user; });
  if (pending_.size() >= kMostWaiting || static_cast<size_t>(fromUser) >= kMostWaitingFromOneUser) {
    return replyError(call, SD_BUS_ERROR_LIMITS_EXCEEDED,
                      "too many calls are waiting for polkit; try again in a moment");
  }
  pending->user = user;
  pending->service = this;
  pending->call = sd_bus_message_ref(call);
  pending->caller = sender;
  const uint32_t flags =
      sd_bus_message_get_allow_interactive_authorization(call) > 0 ? kAllowUserInteraction : 0;
  sd_bus_message* check = nullptr;
  int r = sd_bus_message_new_method_call(
      bus_, &check, "org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
      "org.freedesktop.PolicyKit1.Authority", "CheckAuthorization");
  if (r >= 0) {
    r = sd_bus_message_append(check, "(sa{sv})sa{ss}us", "system-bus-name", 1, "name", "s", sender,
                              kPolkitAction, 0, flags, "");
  }
  Pending* raw = pending.get();
  if (r >= 0) r = sd_bus_call_async(bus_, &raw->slot, check, onAuthorized, raw, kPolkitBoundUsec);
  sd_bus_message_unref(check);
  if (r < 0) {
    return replyError(call, kErrorNotAuthorized, std::string("cannot ask polkit: ") + strerror(-r));
  }
  pending_.push_back(std::move(pending));
  return 1;
}

int ChargeBusService::onAuthorized(sd_bus_message* reply, void* data, sd_bus_error*) {
  auto& pending = *static_cast<Pending*>(data);
  ChargeBusService& service = *pending.service;
  int authorized = 0, challenge = 0;
  std::string refusal = "not allowed to change the charge limit";
  if (sd_bus_message_is_method_error(reply, SD_BUS_ERROR_TIMEOUT) ||
      sd_bus_message_is_method_error(reply, SD_BUS_ERROR_NO_REPLY)) {
    refusal +=
        " (polkit gave no answer within " + std::to_string(kPolkitBoundUsec / 1'000'000) + " s)";
  } else if (sd_bus_message_is_method_error(reply, nullptr)) {
    const sd_bus_error* e = sd_bus_message_get_error(reply);
    refusal += std::string(" (polkit: ") + (e && e->message ? e->message : "an error") + ")";
  } else if (sd_bus_message_enter_container(reply, 'r', "bba{ss}") < 0 ||
             sd_bus_message_read(reply, "bb", &authorized, &challenge) < 0) {
    refusal += " (polkit's answer could not be read)";
    authorized = 0;
  } else if (challenge && !authorized) {
    refusal += " without an administrator's password";
  }
  Outcome outcome{kErrorNotAuthorized, refusal};
  if (authorized) {
    ChargeKeeper& keeper = service.keeper_;
    outcome = pending.limits ? keeper.setLimits(*pending.limits, pending.caller)
                             : keeper.fullOnce(pending.battery, pending.caller);
  }
  service.finish(pending, outcome);
  return 0;
}

void ChargeBusService::finish(Pending& pending, const Outcome& outcome) {
  if (outcome.errorName) {
    replyError(pending.call, outcome.errorName, outcome.message);
  } else {
    sd_bus_reply_method_return(pending.call, "");
  }
  pending_.remove_if([&](const std::unique_ptr<Pending>& p) { return p.get() == &pending; });
  touch();
}

int ChargeBusService::onSleep(sd_bus_message* m, void* self, sd_bus_error*) {
  // logind's signal is broadcast, and the bus lets only logind's broadcast match; one sent to
  // this service alone could come from anyone.
  if (sd_bus_message_get_destination(m)) return 0;
  int sleeping = 0;
  if (sd_bus_message_read(m, "b", &sleeping) < 0 || sleeping) return 0;
  auto* service = static_cast<ChargeBusService*>(self);
  // Some firmware forgets the limit in a sleep or a hibernation.
  service->keeper_.putBack("woke");
  service->touch();
  return 0;
}

int ChargeBusService::onIdle(sd_event_source* source, uint64_t, void* self) {
  auto* service = static_cast<ChargeBusService*>(self);
  // What the kept file could not take lives only here until the next boot.
  if (!service->pending_.empty() || service->keeper_.fullOnceWaiting() ||
      !service->keeper_.keepUnsaved()) {
    sd_event_source_set_time_relative(source, service->released_ ? kLastCallsUsec : kIdleUsec);
    return sd_event_source_set_enabled(source, SD_EVENT_ONESHOT);
  }
  if (service->released_) return sd_event_exit(service->event_, 0);
  // New calls start a new service from here on; those already sent to this one are answered.
  sd_bus_release_name(service->bus_, kBusName);
  service->released_ = true;
  sd_event_source_set_time_relative(source, kLastCallsUsec);
  return sd_event_source_set_enabled(source, SD_EVENT_ONESHOT);
}

}  // namespace brimwell::charge
