#include "host/bus/bus_connection.h"

#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/foundation/run_loop.h"

namespace host::bus {
namespace {

double monotonicSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// What an answer that is an error says.
std::string errorText(const sd_bus_error* error) {
  if (error->message && *error->message) return error->message;
  return error->name ? error->name : "an error without a name";
}

constexpr const char* kNoAnswer = "no answer within ";

std::string secondsText(double seconds) {
  const double whole = std::round(seconds);
  return std::to_string(static_cast<long>(whole)) + (whole == 1 ? " second" : " seconds");
}

}  // namespace

struct Connection::Pending {
  Connection* owner;
  uint64_t id;
  Reply reply;
  double deadline;  // monotonic seconds
  double bound;
  sd_bus_slot* slot = nullptr;
};

struct Connection::Match {
  Signal signal;
  sd_bus_slot* slot = nullptr;
};

std::unique_ptr<Connection> Connection::open(Which which, std::string& why) {
  sd_bus* bus = nullptr;
  // Neither waits for the bus: the socket is connected without blocking and the greeting is
  // answered as the run loop processes the connection.
  const int r = which == Which::system ? sd_bus_open_system(&bus) : sd_bus_open_user(&bus);
  if (r < 0) {
    why = std::string("cannot reach the ") + (which == Which::system ? "system" : "session") +
          " bus: " + std::strerror(-r);
    return nullptr;
  }
  return std::unique_ptr<Connection>(new Connection(bus));
}

Connection::Connection(sd_bus* bus) : bus_(bus) {
  NSRunLoop::mainRunLoop().addPollSource(
      sd_bus_get_fd(bus_),
      [this] {
        const int events = sd_bus_get_events(bus_);
        return static_cast<short>(events < 0 ? 0 : events);
      },
      [this] { process(); },
      [this] {
        process();
        lost();
      });
}

Connection::~Connection() {
  if (open_) NSRunLoop::mainRunLoop().removeReadSource(sd_bus_get_fd(bus_));
  if (timer_) timer_->invalidate();
  // Answers and signals still on their way find nothing of ours to call.
  for (auto& entry : pending_) sd_bus_slot_unref(entry.second->slot);
  for (auto& entry : matches_) sd_bus_slot_unref(entry.second->slot);
  sd_bus_close_unref(bus_);
}

sd_bus_message* Connection::newCall(const char* destination, const char* path,
                                    const char* interface, const char* member) {
  sd_bus_message* message = nullptr;
  if (sd_bus_message_new_method_call(bus_, &message, destination, path, interface, member) < 0)
    return nullptr;
  return message;
}

bool Connection::call(sd_bus_message* message, double bound, Reply onReply, std::string& why) {
  if (!message) {
    why = "cannot make the call";
    return false;
  }
  if (!open_) {
    sd_bus_message_unref(message);
    why = "the bus closed the connection";
    return false;
  }
  const uint64_t id = nextId_++;
  auto pending = std::make_unique<Pending>(
      Pending{this, id, std::move(onReply), monotonicSeconds() + bound, bound, nullptr});
  auto replied = [](sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* p = static_cast<Pending*>(data);
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    p->owner->answer(p->id, error ? nullptr : reply, error ? errorText(error) : std::string());
    return 0;
  };
  // sd-bus's own bound is a backstop: it does not run while the bus has not yet greeted us.
  const auto usec = static_cast<uint64_t>((bound + 1) * 1e6);
  const int r = sd_bus_call_async(bus_, &pending->slot, message, replied, pending.get(), usec);
  sd_bus_message_unref(message);
  if (r < 0) {
    why = std::strerror(-r);
    return false;
  }
  pending_.emplace(id, std::move(pending));
  armTimer();
  return true;
}

void Connection::answer(uint64_t id, sd_bus_message* reply, const std::string& why) {
  const auto found = pending_.find(id);
  if (found == pending_.end()) return;
  std::unique_ptr<Pending> pending = std::move(found->second);
  pending_.erase(found);
  // Also from within its own callback: sd-bus holds the slot until the callback returns.
  sd_bus_slot_unref(pending->slot);
  pending->reply(reply, why);
}

bool Connection::onSignal(const char* sender, const char* path, const char* interface,
                          const char* member, Signal signal) {
  if (!open_) return false;
  auto match = std::make_unique<Match>(Match{std::move(signal), nullptr});
  auto arrived = [](sd_bus_message* message, void* data, sd_bus_error*) {
    static_cast<Match*>(data)->signal(message);
    return 0;
  };
  // A match the bus refuses leaves the connection as it is; the signal then never comes.
  auto installed = [](sd_bus_message*, void*, sd_bus_error*) { return 0; };
  if (sd_bus_match_signal_async(bus_, &match->slot, sender, path, interface, member, arrived,
                                installed, match.get()) < 0)
    return false;
  matches_.emplace(nextId_++, std::move(match));
  armTimer();
  return true;
}

bool Connection::onMatch(const char* rule, Signal signal) {
  if (!open_) return false;
  auto match = std::make_unique<Match>(Match{std::move(signal), nullptr});
  auto arrived = [](sd_bus_message* message, void* data, sd_bus_error*) {
    static_cast<Match*>(data)->signal(message);
    return 0;
  };
  auto installed = [](sd_bus_message*, void*, sd_bus_error*) { return 0; };
  if (sd_bus_add_match_async(bus_, &match->slot, rule, arrived, installed, match.get()) < 0)
    return false;
  matches_.emplace(nextId_++, std::move(match));
  armTimer();
  return true;
}

void Connection::process() {
  while (open_) {
    const int r = sd_bus_process(bus_, nullptr);
    if (r < 0) return lost();
    if (r == 0) break;
  }
  expire();
  if (open_) armTimer();
}

// Calls whose bound has passed are given up, the bus's answer to them ignored if it comes.
void Connection::expire() {
  const double now = monotonicSeconds();
  std::vector<uint64_t> late;
  for (const auto& entry : pending_) {
    if (entry.second->deadline <= now) late.push_back(entry.first);
  }
  for (uint64_t id : late) {
    const auto found = pending_.find(id);
    if (found == pending_.end()) continue;  // an earlier answer's callback ended it
    answer(id, nullptr, kNoAnswer + secondsText(found->second->bound));
  }
}

bool Connection::unanswered(const std::string& why) {
  return why.rfind(kNoAnswer, 0) == 0;
}

double Connection::secondsUntilDue() const {
  double due = std::numeric_limits<double>::infinity();
  const double now = monotonicSeconds();
  for (const auto& entry : pending_) due = std::min(due, entry.second->deadline - now);
  uint64_t usec = 0;
  if (open_ && sd_bus_get_timeout(bus_, &usec) >= 0 && usec != UINT64_MAX) {
    due = std::min(due, static_cast<double>(usec) / 1e6 - now);
  }
  return due;
}

void Connection::armTimer() {
  if (timer_) timer_->invalidate();
  timer_.reset();
  const double due = secondsUntilDue();
  if (!std::isfinite(due)) return;
  timer_ = NSTimer::scheduledTimerWithTimeInterval(
      std::max(due, 0.0), [this] { process(); }, false);
}

void Connection::lost() {
  if (!open_) return;
  open_ = false;
  NSRunLoop::mainRunLoop().removeReadSource(sd_bus_get_fd(bus_));
  if (timer_) timer_->invalidate();
  std::vector<uint64_t> ids;
  for (const auto& entry : pending_) ids.push_back(entry.first);
  for (uint64_t id : ids) answer(id, nullptr, "the bus closed the connection");
  if (closed_) closed_();
}

void Connection::runUntil(const std::function<bool()>& done, double seconds) {
  const double end = monotonicSeconds() + seconds;
  process();
  while (open_ && !done()) {
    const double left = std::min(end - monotonicSeconds(), secondsUntilDue());
    if (end - monotonicSeconds() <= 0) break;
    const int events = sd_bus_get_events(bus_);
    pollfd fd{sd_bus_get_fd(bus_), static_cast<short>(events < 0 ? 0 : events), 0};
    ::poll(&fd, 1, static_cast<int>(std::ceil(std::max(left, 0.0) * 1000)));
    process();
  }
}

}  // namespace host::bus
