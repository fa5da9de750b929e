#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/desktop/desktop_notifications.h"
#include "host/desktop/sound_module.h"
#include "platform/uikit/presenter.h"

namespace host {
namespace bus {
class Connection;
}

// The desktop's own alerts: a freedesktop notification for each dialog (each replacing the one
// before, so they do not pile up) and the alert sound through the desktop's sound service. The
// notifications go over the host's own session-bus connection in its run loop; the sound lives
// in a module loaded at the first sound, so that the host does not carry the sound libraries
// otherwise.
class DesktopAlerts {
 public:
  // Null when there is no session bus to talk to: the host stays terminal-only. Where desktop
  // alerts were asked for, why says why there was no bus. runLoop: the host runs the main run
  // loop, which takes the bus's answers as they come; a run that does not (virtual time) waits
  // for each answer it needs within its bound, and for the bus's first answer here, giving up
  // on a bus that does not answer within a couple of seconds, with why set.
  static std::unique_ptr<DesktopAlerts> connectIfAvailable(std::string& why, bool asked = false,
                                                           bool runLoop = true);
  ~DesktopAlerts();
  DesktopAlerts(const DesktopAlerts&) = delete;
  DesktopAlerts& operator=(const DesktopAlerts&) = delete;

  void notify(const std::string& title, const std::string& message) {
    notifications_->show(DesktopNotifications::Which::alert, title, message, 1, nullptr);
  }
  void playSound(const std::string& hostPath);

  // The low-battery warning, its own notification replaced in place.
  enum class Urgency { normal = 1, critical = 2 };
  void warn(const std::string& summary, const std::string& body, Urgency urgency,
            const char* soundEvent, const char* cancelLabel);
  void withdraw() { notifications_->close(DesktopNotifications::Which::warning); }
  // One of the user's other batteries runs low: its own notification, by its id.
  void warnDevice(const std::string& id, const std::string& summary, Urgency urgency) {
    notifications_->showDevice(id, summary, static_cast<int>(urgency));
  }
  void withdrawDevice(const std::string& id) { notifications_->closeDevice(id); }
  // Where what goes wrong later is said (the host's screen, say); stderr, with the program's
  // name, until then.
  void onNotice(std::function<void(const std::string&)> say) { say_ = std::move(say); }
  bool cancelPressed() { return notifications_->cancelPressed(); }

 private:
  DesktopAlerts(std::unique_ptr<bus::Connection> bus, bool waits, bool asked);
  void unavailable(const std::string& line, bool noBus);
  // A bus that never answered has no desktop behind it: no sound either.
  bool silent() const { return notifications_->givenUp() && !notifications_->ready(); }

  std::unique_ptr<bus::Connection> bus_;
  std::unique_ptr<DesktopNotifications> notifications_;
  SoundModule sound_;
  bool asked_;
  bool connecting_ = true;      // what goes wrong meanwhile is the caller's to say
  std::string connectFailure_;  // what went wrong while connecting
  std::function<void(const std::string&)> say_;
};

// Passes everything on to the process's own presenter and mirrors dialogs and sounds to the
// desktop.
class DesktopMirror : public platform::Presenter {
 public:
  DesktopMirror(platform::Presenter& inner, DesktopAlerts& desktop)
      : inner_(inner), desktop_(desktop) {}
  void showAlert(UIAlertView* alert) override;
  void vibrate() override { inner_.vibrate(); }
  void playSound(const std::string& devicePath) override;

 private:
  platform::Presenter& inner_;
  DesktopAlerts& desktop_;
};

// The process's own presenter, mirrored to the desktop when that is wanted and a desktop is there.
class HostPresenter {
 public:
  // asked: the user asked for desktop alerts (rather than the host trying them on a terminal
  // that may have no desktop), so that their absence is said whatever the cause.
  // runLoop: as DesktopAlerts::connectIfAvailable's.
  HostPresenter(platform::Presenter& own, bool toDesktop, bool asked = false, bool runLoop = true);
  platform::Presenter* get() {
    return mirror_ ? static_cast<platform::Presenter*>(&*mirror_) : &own_;
  }
  // Why desktop alerts were wanted and are not there, for the host to say once; else empty.
  const std::string& notice() const { return notice_; }
  // The desktop, when alerts go there too.
  DesktopAlerts* desktop() { return desktop_.get(); }
  // Where the desktop says what goes wrong later; stderr until then.
  void onNotice(std::function<void(const std::string&)> say) {
    if (desktop_) desktop_->onNotice(std::move(say));
  }

 private:
  platform::Presenter& own_;
  std::string notice_;
  std::unique_ptr<DesktopAlerts> desktop_;
  std::optional<DesktopMirror> mirror_;
};

}  // namespace host
