#include "host/low_battery/logind.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace host::low_battery {
namespace {

constexpr const char* kDestination = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr uint64_t kCallTimeoutMicroseconds = 10 * 1000 * 1000;

struct BusRelease {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

// The method that asks, and the one that does.
bool methodsFor(Action action, const char*& can, const char*& method) {
  switch (action) {
    case Action::suspend:
      can = "CanSuspend", method = "Suspend";
      return true;
    case Action::hibernate:
      can = "CanHibernate", method = "Hibernate";
      return true;
    case Action::hybridSleep:
      can = "CanHybridSleep", method = "HybridSleep";
      return true;
    case Action::poweroff:
      can = "CanPowerOff", method = "PowerOff";
      return true;
    case Action::none:
    case Action::command:
      break;
  }
  return false;
}

std::string failure(const char* what, int r, const sd_bus_error& error) {
  std::string why = what;
  why += ": ";
  why += error.message ? error.message : std::strerror(-r);
  return why;
}

// What logind answers to a Can... method: "yes", "no", "na" or "challenge".
bool answersYes(sd_bus* bus, const char* can, std::string& why) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int r = sd_bus_call_method(bus, kDestination, kPath, kManager, can, &error, &reply, "");
  const char* answer = nullptr;
  if (r >= 0) r = sd_bus_message_read(reply, "s", &answer);
  if (r < 0) {
    why = failure(can, r, error);
  } else if (std::strcmp(answer, "yes") != 0) {
    why = std::string("logind answers ") + can + " with \"" + answer + "\"";
  }
  const bool yes = r >= 0 && std::strcmp(answer, "yes") == 0;
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return yes;
}

}  // namespace

bool askLogind(Action action, std::string& why) {
  const char* can = nullptr;
  const char* method = nullptr;
  if (!methodsFor(action, can, method)) {
    why = std::string(actionName(action)) + " is not logind's";
    return false;
  }
  sd_bus* opened = nullptr;
  const int opening = sd_bus_open_system(&opened);
  if (opening < 0) {
    why = std::string("cannot reach the system bus: ") + std::strerror(-opening);
    return false;
  }
  std::unique_ptr<sd_bus, BusRelease> bus(opened);
  sd_bus_set_method_call_timeout(bus.get(), kCallTimeoutMicroseconds);
  if (!answersYes(bus.get(), can, why)) return false;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  // false: do not ask the user to authenticate; a user who may not suspend is told why.
  const int r =
      sd_bus_call_method(bus.get(), kDestination, kPath, kManager, method, &error, nullptr, "b", 0);
  if (r < 0) why = failure(method, r, error);
  sd_bus_error_free(&error);
  return r >= 0;
}

struct LogindRequest::Shared {
  std::mutex lock;
  std::optional<bool> done;
  std::string why;
  int event = -1;  // an eventfd, written once the answer is there
  ~Shared() {
    if (event >= 0) ::close(event);
  }
};

LogindRequest::LogindRequest() : shared_(std::make_shared<Shared>()) {
  shared_->event = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

LogindRequest::~LogindRequest() = default;

void LogindRequest::start(Action action) {
  started_ = true;
  taken_ = false;
  {
    const std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->done.reset();
  }
  // The thread holds the shared state, so a host that ends first leaves it nothing dangling.
  std::thread([shared = shared_, action] {
    std::string why;
    const bool done = askLogind(action, why);
    const std::lock_guard<std::mutex> guard(shared->lock);
    shared->done = done;
    shared->why = why;
    const uint64_t one = 1;
    if (shared->event >= 0 && ::write(shared->event, &one, sizeof one) < 0) {
      // nothing to do: the answer is also there for answer()
    }
  }).detach();
}

int LogindRequest::descriptor() const {
  return shared_->event;
}

bool LogindRequest::wait(double seconds) const {
  pollfd fd{shared_->event, POLLIN, 0};
  return shared_->event >= 0 && ::poll(&fd, 1, static_cast<int>(seconds * 1000)) > 0;
}

std::optional<bool> LogindRequest::answer(std::string& why) {
  const std::lock_guard<std::mutex> guard(shared_->lock);
  if (!shared_->done) return std::nullopt;
  uint64_t count = 0;
  if (::read(shared_->event, &count, sizeof count) < 0) count = 0;
  taken_ = true;
  why = shared_->why;
  return shared_->done;
}

}  // namespace host::low_battery
