#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/presenter.h"

namespace host {

// The desktop's own alerts: a freedesktop notification for each dialog (each replacing the one
// before, so they do not pile up) and the alert sound through the desktop's sound service. They
// live in a module of their own, loaded only on a desktop, so that the host does not carry the
// desktop libraries otherwise.
class DesktopAlerts {
 public:
  // Null when there is no session bus to talk to (or no module): the host stays terminal-only.
  static std::unique_ptr<DesktopAlerts> connectIfAvailable();
  virtual ~DesktopAlerts() = default;
  virtual void notify(const std::string& title, const std::string& message) = 0;
  virtual void playSound(const std::string& hostPath) = 0;
};

// The module's one entry point; null when the session bus does not answer.
using DesktopAlertsFactory = DesktopAlerts* (*)();
inline constexpr const char* kDesktopAlertsModule = "brimwell-desktop-alerts.so";
inline constexpr const char* kDesktopAlertsFactory = "brimwell_connect_desktop_alerts";

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
  HostPresenter(platform::Presenter& own, bool toDesktop);
  platform::Presenter* get() {
    return mirror_ ? static_cast<platform::Presenter*>(&*mirror_) : &own_;
  }

 private:
  platform::Presenter& own_;
  std::unique_ptr<DesktopAlerts> desktop_;
  std::optional<DesktopMirror> mirror_;
};

}  // namespace host
