#include "host/desktop/desktop_notifications.h"

#include <systemd/sd-bus.h>

#include <algorithm>

#include "host/bus/bus_connection.h"

namespace host {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

std::string boundText() {
  return std::to_string(static_cast<int>(DesktopNotifications::kCallBound)) + " s";
}

// Notify(app, replaces, icon, summary, body, actions, hints, expires); null when it cannot be
// made.
sd_bus_message* notifyCall(bus::Connection& bus, uint32_t replaces, const Notice& n) {
  sd_bus_message* m = bus.newCall(kService, kPath, kService, "Notify");
  if (!m) return nullptr;
  int r = sd_bus_message_append(m, "susss", "Brimwell", replaces, n.icon.c_str(), n.summary.c_str(),
                                n.body.c_str());
  if (r >= 0 && n.actionKey.empty()) r = sd_bus_message_append(m, "as", 0);
  if (r >= 0 && !n.actionKey.empty()) {
    r = sd_bus_message_append(m, "as", 2, n.actionKey.c_str(), n.actionLabel.c_str());
  }
  if (r >= 0) {
    r = sd_bus_message_append(m, "a{sv}i", 1, "urgency", "y", static_cast<uint8_t>(n.urgency), -1);
  }
  return r < 0 ? sd_bus_message_unref(m) : m;
}

}  // namespace

DesktopNotifications::DesktopNotifications(bus::Connection& bus, bool waits,
                                           Unavailable unavailable)
    : bus_(bus), waits_(waits), unavailable_(std::move(unavailable)) {
  std::shared_ptr<bool> alive = alive_;
  bus_.onSignal(kService, kPath, kService, "ActionInvoked", [this, alive](sd_bus_message* signal) {
    uint32_t id = 0;
    const char* action = nullptr;
    if (*alive && sd_bus_message_read(signal, "us", &id, &action) >= 0) {
      actionInvoked(id, action);
    }
  });
  bus_.onClosed([this, alive] {
    if (*alive) giveUp("desktop notifications unavailable: the session bus closed the connection");
  });
  probe();
}

DesktopNotifications::~DesktopNotifications() {
  // What was asked last (a countdown taken back) reaches the service before the connection
  // goes: a bus that sees us leave may drop what it has not yet passed on.
  const auto done = [this] { return givenUp_ || (allSent() && unanswered_ == 0); };
  if (!done()) bus_.runUntil(done, 2 * kCallBound + 1);
  *alive_ = false;
}

// The bus's own first answer: until it comes, nothing is sent, so that a bus that never answers
// is told from a notification service that does not.
void DesktopNotifications::probe() {
  std::shared_ptr<bool> alive = alive_;
  std::string why;
  const bool sent = bus_.call(
      bus_.newCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                   "GetId"),
      kCallBound,
      [this, alive](sd_bus_message* reply, const std::string& error) {
        if (!*alive) return;
        if (reply) {
          ready_ = true;
          send(alert_);
          send(warning_);
          for (auto& [id, slot] : devices_) send(slot);
        } else if (bus::Connection::unanswered(error)) {
          giveUp("desktop alerts unavailable: the session bus did not answer within " +
                 boundText());
        } else {
          giveUp("desktop alerts unavailable: no session bus: " + error, true);
        }
      },
      why);
  if (!sent) giveUp("desktop alerts unavailable: no session bus: " + why, true);
}

void DesktopNotifications::awaitReady() {
  bus_.runUntil([this] { return ready_ || givenUp_; }, kCallBound + 1);
}

void DesktopNotifications::giveUp(const std::string& line, bool noBus) {
  if (givenUp_) return;
  givenUp_ = true;
  if (unavailable_) unavailable_(line, noBus);
}

// Makes the calls the slot has ready, each answer sending what waited for it.
void DesktopNotifications::send(NoticeSlot& slot) {
  if (!ready_ || givenUp_) return;
  while (auto call = slot.next()) {
    const bool notify = call->kind == NoticeSlot::Call::Kind::notify;
    sd_bus_message* m = notify ? notifyCall(bus_, call->id, call->notice)
                               : bus_.newCall(kService, kPath, kService, "CloseNotification");
    if (m && !notify && sd_bus_message_append(m, "u", call->id) < 0) m = sd_bus_message_unref(m);
    std::shared_ptr<bool> alive = alive_;
    NoticeSlot* s = notify ? &slot : nullptr;
    std::string why;
    const bool sent = bus_.call(
        m, kCallBound,
        [this, alive, s](sd_bus_message* reply, const std::string& error) {
          if (!*alive) return;
          --unanswered_;
          uint32_t id = 0;
          const bool got = reply && sd_bus_message_read(reply, "u", &id) >= 0;
          if (s) s->answered(got ? std::optional<uint32_t>(id) : std::nullopt);
          // A service that let a call go unanswered gets no more: its notices would come late
          // and stack, and a countdown shown after its action would mislead.
          if (!reply && bus::Connection::unanswered(error)) {
            return giveUp(
                "desktop notifications unavailable: the notification service did not answer "
                "within " +
                boundText());
          }
          if (s) send(*s);
        },
        why);
    if (sent) ++unanswered_;
    if (!sent && notify) slot.answered(std::nullopt);
  }
}

// In a run that waits, what was just asked is sent before the host goes on.
void DesktopNotifications::settle(NoticeSlot& slot) {
  if (!waits_) return;
  bus_.runUntil([this, &slot] { return givenUp_ || slot.sent(); }, kCallBound + 1);
}

// Without the run loop, what the bus sent meanwhile (a Cancel pressed) is taken in when asked.
void DesktopNotifications::pump() {
  if (waits_) bus_.runUntil([] { return true; }, 0);
}

void DesktopNotifications::show(Which which, const std::string& summary, const std::string& body,
                                int urgency, const char* cancelLabel) {
  pump();
  if (givenUp_) return;
  Notice notice{which == Which::alert ? "battery"
                : urgency >= 2        ? "battery-caution"
                                      : "battery-low",
                summary,
                escapeMarkup(body),
                urgency,
                "",
                ""};
  if (which == Which::warning) {
    cancelPressed_ = false;
    cancelKey_ = cancelLabel ? "cancel-" + std::to_string(++cancels_) : std::string();
    notice.actionKey = cancelKey_;
  }
  if (cancelLabel) notice.actionLabel = cancelLabel;
  NoticeSlot& s = slot(which);
  s.show(std::move(notice));
  send(s);
  settle(s);
}

void DesktopNotifications::close(Which which) {
  pump();
  if (givenUp_) return;
  if (which == Which::warning) {
    cancelPressed_ = false;
    cancelKey_.clear();
  }
  NoticeSlot& s = slot(which);
  s.close();
  send(s);
  settle(s);
}

bool DesktopNotifications::allSent() const {
  return alert_.sent() && warning_.sent() &&
         std::all_of(devices_.begin(), devices_.end(),
                     [](const auto& device) { return device.second.sent(); });
}

// Shows the notice in the slot, or closes it (none).
void DesktopNotifications::put(NoticeSlot& s, std::optional<Notice> notice) {
  pump();
  if (givenUp_) return;
  if (notice) {
    s.show(std::move(*notice));
  } else {
    s.close();
  }
  send(s);
  settle(s);
}

void DesktopNotifications::showDevice(const std::string& id, const std::string& summary,
                                      int urgency) {
  put(devices_[id],
      Notice{urgency >= 2 ? "battery-caution" : "battery-low", summary, "", urgency, "", ""});
}

void DesktopNotifications::closeDevice(const std::string& id) {
  const auto it = devices_.find(id);
  if (it != devices_.end()) put(it->second, std::nullopt);
}

void DesktopNotifications::actionInvoked(uint32_t id, const std::string& action) {
  if (id != 0 && id == warning_.id() && !cancelKey_.empty() && cancelKey_ == action) {
    cancelPressed_ = true;
  }
}

bool DesktopNotifications::cancelPressed() {
  pump();
  const bool pressed = cancelPressed_;
  cancelPressed_ = false;
  return pressed;
}

}  // namespace host
