#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class NSTimer;
struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

namespace host::bus {

// One connection to a bus, attached to the main run loop: its descriptor waits in the loop's one
// poll(), signals arrive as events, and every call is asynchronous with a bound, so nothing in
// the host waits on a bus that never answers.
class Connection {
 public:
  enum class Which { system, session };
  // Connects without waiting for the bus's greeting (DBUS_SYSTEM_BUS_ADDRESS or
  // DBUS_SESSION_BUS_ADDRESS where set). Null, with why, when there is no bus to connect to; a
  // bus that takes the connection and never answers leaves each call to its bound.
  static std::unique_ptr<Connection> open(Which which, std::string& why);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The answer to a call: the reply, or null with why (an error, the bound passed, the bus gone).
  using Reply = std::function<void(sd_bus_message* reply, const std::string& why)>;
  // Sends a method call built by the caller (sd_bus_message_new_method_call and its arguments);
  // onReply is called once, from the run loop, within `bound` seconds. False, with why, when it
  // could not be sent (onReply is then not called).
  bool call(sd_bus_message* message, double bound, Reply onReply, std::string& why);
  // A new method call to fill in; null when the connection cannot make one.
  sd_bus_message* newCall(const char* destination, const char* path, const char* interface,
                          const char* member);
  // Calls back for each such signal (null: any) from the moment the bus has the match.
  using Signal = std::function<void(sd_bus_message* signal)>;
  bool onSignal(const char* sender, const char* path, const char* interface, const char* member,
                Signal signal);
  // The same for a whole match rule ("type='signal',...,arg0='org.bluez'"), for what the four
  // fields cannot narrow.
  bool onMatch(const char* rule, Signal signal);
  // Once, when the bus closes the connection (a bus restarted, say).
  void onClosed(std::function<void()> closed) { closed_ = std::move(closed); }

  // For a run that does not run the loop (virtual time): dispatches what the bus sends until
  // done() or until `seconds` have passed, and lets the bounds of calls pass meanwhile.
  void runUntil(const std::function<bool()>& done, double seconds);
  // Whether a call's why says that its bound passed without an answer (not an error answered).
  static bool unanswered(const std::string& why);

 private:
  explicit Connection(sd_bus* bus);
  struct Pending;
  struct Match;
  void answer(uint64_t id, sd_bus_message* reply, const std::string& why);
  void process();
  void expire();
  double secondsUntilDue() const;
  void armTimer();
  void lost();

  sd_bus* bus_;
  bool open_ = true;
  uint64_t nextId_ = 1;
  std::map<uint64_t, std::unique_ptr<Pending>> pending_;
  std::map<uint64_t, std::unique_ptr<Match>> matches_;
  std::shared_ptr<NSTimer> timer_;
  std::function<void()> closed_;
};

}  // namespace host::bus
