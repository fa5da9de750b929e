#pragma once

#include <functional>
#include <memory>
#include <string>

namespace host::bus {

class Connection;

// systemd-logind on the system bus: the power actions, asked for without a shell, and the
// machine's sleeps, announced before and after with a delay inhibitor that gives the host time to
// read the battery first.
class Logind {
 public:
  explicit Logind(Connection& bus) : bus_(bus) {}
  ~Logind();  // lets an inhibitor go
  Logind(const Logind&) = delete;
  Logind& operator=(const Logind&) = delete;

  Connection& connection() { return bus_; }

  // Asks `can` (CanSuspend) and, when logind answers "yes", calls `method` (Suspend, without
  // asking the user to authenticate); done(true) or done(false, why), once, within `bound`
  // seconds for each call. False, with why, when the request could not be sent.
  using Done = std::function<void(bool done, const std::string& why)>;
  bool act(const char* can, const char* method, double bound, Done done, std::string& why);

  // A delay inhibitor for sleep (Inhibit("sleep", "Brimwell", why, "delay")), held until
  // release(). Failed calls back when logind refused it or did not answer.
  void inhibitSleep(const std::string& why, double bound,
                    std::function<void(const std::string&)> failed);
  void releaseSleep();
  bool holdsInhibitor() const { return held_->fd >= 0; }

  // PrepareForSleep: true as the machine is about to sleep, false once it woke.
  bool onPrepareForSleep(std::function<void(bool sleeping)> prepare);

 private:
  // The inhibitor held, shared with the answers on their way: an answer to a request released
  // meanwhile (or after this is gone) lets its inhibitor go at once.
  struct Held {
    int fd = -1;
    unsigned asked = 0;  // requests so far; only the latest may be held
  };
  Connection& bus_;
  std::shared_ptr<Held> held_ = std::make_shared<Held>();
};

}  // namespace host::bus
