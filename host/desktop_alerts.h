#pragma once

#include <memory>
#include <string>

#include "platform/uikit/presenter.h"

namespace host {

// The desktop's own alerts: a freedesktop notification for each dialog (each replacing the one
// before, so they do not pile up) and the alert sound through the desktop's sound service.
class DesktopAlerts {
 public:
  // Null when there is no session bus to talk to: the host then stays terminal-only.
  static std::unique_ptr<DesktopAlerts> connectIfAvailable();
  ~DesktopAlerts();
  DesktopAlerts(const DesktopAlerts&) = delete;
  DesktopAlerts& operator=(const DesktopAlerts&) = delete;

  void notify(const std::string& title, const std::string& message);
  void playSound(const std::string& hostPath);

 private:
  DesktopAlerts() = default;
  struct Handles;
  std::unique_ptr<Handles> handles_;
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

}  // namespace host
