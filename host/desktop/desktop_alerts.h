#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/desktop/desktop_alerts_entry.h"
#include "platform/uikit/presenter.h"

namespace host {

// The desktop's own alerts: a freedesktop notification for each dialog (each replacing the one
// before, so they do not pile up) and the alert sound through the desktop's sound service. They
// live in a module of their own, loaded only on a desktop, so that the host does not carry the
// desktop libraries otherwise.
class DesktopAlerts {
 public:
  // Null when there is no session bus to talk to: the host stays terminal-only. A module that
  // cannot be loaded says why, once, on stderr; a bus that does not answer within a couple of
  // seconds is given up, with why set. Where desktop alerts were asked for, why says also why
  // there was no bus at all.
  static std::unique_ptr<DesktopAlerts> connectIfAvailable(std::string& why, bool asked = false);
  DesktopAlerts(const BrimwellDesktopAlerts& module, void* connection)
      : module_(module), connection_(connection) {}
  ~DesktopAlerts() { module_.disconnect(connection_); }
  DesktopAlerts(const DesktopAlerts&) = delete;
  DesktopAlerts& operator=(const DesktopAlerts&) = delete;

  void notify(const std::string& title, const std::string& message) {
    module_.notify(connection_, title.c_str(), message.c_str());
  }
  void playSound(const std::string& hostPath) { module_.playSound(connection_, hostPath.c_str()); }

  // The low-battery warning, its own notification replaced in place.
  enum class Urgency { normal = 1, critical = 2 };
  void warn(const std::string& summary, const std::string& body, Urgency urgency,
            const char* soundEvent, const char* cancelLabel) {
    module_.warn(connection_, summary.c_str(), body.c_str(), static_cast<int>(urgency), soundEvent,
                 cancelLabel);
  }
  void withdraw() { module_.withdraw(connection_); }
  bool cancelPressed() { return module_.cancelPressed(connection_) != 0; }

 private:
  const BrimwellDesktopAlerts& module_;
  void* connection_;
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
  HostPresenter(platform::Presenter& own, bool toDesktop, bool asked = false);
  platform::Presenter* get() {
    return mirror_ ? static_cast<platform::Presenter*>(&*mirror_) : &own_;
  }
  // Why desktop alerts were wanted and are not there, for the host to say once; else empty.
  const std::string& notice() const { return notice_; }
  // The desktop, when alerts go there too.
  DesktopAlerts* desktop() { return desktop_.get(); }

 private:
  platform::Presenter& own_;
  std::string notice_;
  std::unique_ptr<DesktopAlerts> desktop_;
  std::optional<DesktopMirror> mirror_;
};

}  // namespace host
