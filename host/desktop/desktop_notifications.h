#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/desktop/notice_slot.h"

namespace host {
namespace bus {
class Connection;
}

// The freedesktop notification service, spoken to directly over the session bus: every call is
// asynchronous and bounded, so that a service that takes a call and never answers costs the
// host nothing (libnotify's calls wait 25 s each). Notifications of our own, each replaced in
// place: the charge alerts', the low-battery warning, and one for each of the user's other
// batteries that warns.
class DesktopNotifications {
 public:
  // waits: the run does not run the main loop (virtual time), so each call waits, within its
  // bound, for the answer the next one needs. unavailable is called, once, with the line that
  // says why, when the bus or the service lets a call go unanswered or the bus refuses us
  // (noBus): nothing is sent after it.
  using Unavailable = std::function<void(const std::string& line, bool noBus)>;
  DesktopNotifications(bus::Connection& bus, bool waits, Unavailable unavailable);
  // Sends what is still to be sent, within the bounds.
  ~DesktopNotifications();
  DesktopNotifications(const DesktopNotifications&) = delete;
  DesktopNotifications& operator=(const DesktopNotifications&) = delete;

  // Whether the bus has answered yet; a run that waits asks this at once.
  bool ready() const { return ready_; }
  bool givenUp() const { return givenUp_; }
  // Waits, within the bound, for the bus's first answer.
  void awaitReady();

  enum class Which { alert, warning };
  // urgency: 0 low, 1 normal, 2 critical; cancelLabel, when given, adds a Cancel action.
  void show(Which which, const std::string& summary, const std::string& body, int urgency,
            const char* cancelLabel);
  void close(Which which);
  // A device's warning, by the device's id; its own notification, replaced in place.
  void showDevice(const std::string& id, const std::string& summary, int urgency);
  void closeDevice(const std::string& id);
  // Whether the Cancel of the warning now shown was pressed since the last call. Each warning's
  // Cancel is its own: one pressed on a warning since replaced or closed counts for nothing.
  bool cancelPressed();

  static constexpr double kCallBound = 2.0;

 private:
  void probe();
  void send(NoticeSlot& slot);
  void settle(NoticeSlot& slot);
  void pump();
  void put(NoticeSlot& s, std::optional<Notice> notice);
  bool allSent() const;
  void giveUp(const std::string& line, bool noBus = false);
  void actionInvoked(uint32_t id, const std::string& action);
  NoticeSlot& slot(Which which) { return which == Which::alert ? alert_ : warning_; }

  bus::Connection& bus_;
  bool waits_;
  Unavailable unavailable_;
  bool ready_ = false;    // the bus answered our first call
  bool givenUp_ = false;  // the bus or the service let a call go unanswered: no more to it
  NoticeSlot alert_, warning_;
  std::map<std::string, NoticeSlot> devices_;  // never erased: answers hold their addresses
  unsigned unanswered_ = 0;                    // calls sent whose answer has not come
  bool cancelPressed_ = false;
  // The action key of the warning's Cancel, new for each warning that has one; replaced
  // notifications keep their id, so the id alone cannot tell whose Cancel was pressed.
  std::string cancelKey_;
  unsigned cancels_ = 0;
  // Answers that come after this is gone find it false.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace host
