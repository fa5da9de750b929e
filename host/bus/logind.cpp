#include "host/bus/logind.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "host/bus/bus_connection.h"

namespace host::bus {
namespace {

constexpr const char* kDestination = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// The method logind was asked, with what went wrong.
std::string failure(const char* what, const std::string& why) {
  return std::string(what) + ": " + why;
}

}  // namespace

Logind::~Logind() {
  releaseSleep();
}

bool Logind::act(const char* can, const char* method, double bound, Done done, std::string& why) {
  Connection* bus = &bus_;
  std::string canName = can, methodName = method;
  auto asked = [bus, canName, methodName, bound, done](sd_bus_message* reply,
                                                       const std::string& error) {
    const char* answer = nullptr;
    if (!reply) return done(false, failure(canName.c_str(), error));
    // 0: a reply without the word, which leaves answer unset.
    if (sd_bus_message_read(reply, "s", &answer) <= 0) {
      return done(false, failure(canName.c_str(), "an answer that is not a word"));
    }
    if (std::strcmp(answer, "yes") != 0) {
      return done(false, "logind answers " + canName + " with \"" + answer + "\"");
    }
    sd_bus_message* call = bus->newCall(kDestination, kPath, kManager, methodName.c_str());
    // false: the user is not asked to authenticate; one who may not is told why.
    if (call && sd_bus_message_append(call, "b", 0) < 0) call = sd_bus_message_unref(call);
    std::string sendFailure;
    const bool sent = bus->call(
        call, bound,
        [done, methodName](sd_bus_message* r, const std::string& e) {
          if (r) return done(true, std::string());
          done(false, failure(methodName.c_str(), e));
        },
        sendFailure);
    if (!sent) done(false, failure(methodName.c_str(), sendFailure));
  };
  return bus_.call(bus_.newCall(kDestination, kPath, kManager, can), bound, asked, why);
}

void Logind::inhibitSleep(const std::string& why, double bound,
                          std::function<void(const std::string&)> failed) {
  if (held_->fd >= 0) return;
  sd_bus_message* call = bus_.newCall(kDestination, kPath, kManager, "Inhibit");
  if (call && sd_bus_message_append(call, "ssss", "sleep", "Brimwell", why.c_str(), "delay") < 0)
    call = sd_bus_message_unref(call);
  const unsigned request = ++held_->asked;
  std::shared_ptr<Held> held = held_;
  std::string sendFailure;
  const bool sent = bus_.call(
      call, bound,
      [held, request, failed](sd_bus_message* reply, const std::string& error) {
        int fd = -1;
        if (!reply) return failed(failure("Inhibit", error));
        if (sd_bus_message_read(reply, "h", &fd) < 0 || fd < 0) {
          return failed(failure("Inhibit", "an answer without a descriptor"));
        }
        // The descriptor belongs to the message: the inhibitor is held by a copy of it.
        if (request != held->asked || held->fd >= 0) return;
        held->fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
      },
      sendFailure);
  if (!sent) failed(failure("Inhibit", sendFailure));
}

void Logind::releaseSleep() {
  ++held_->asked;  // an answer still on its way is not held
  if (held_->fd < 0) return;
  ::close(held_->fd);
  held_->fd = -1;
}

bool Logind::onPrepareForSleep(std::function<void(bool)> prepare) {
  return bus_.onSignal(kDestination, kPath, kManager, "PrepareForSleep",
                       [prepare](sd_bus_message* signal) {
                         int sleeping = 0;
                         if (sd_bus_message_read(signal, "b", &sleeping) > 0) {
                           prepare(sleeping != 0);
                         }
                       });
}

}  // namespace host::bus
