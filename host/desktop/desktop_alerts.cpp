#include "host/desktop/desktop_alerts.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/foundation/device_environment.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {
namespace {

// Whether a session bus could be there at all, without loading anything to ask it.
bool sessionBusMayBeThere() {
  if (platform::environmentValue("DBUS_SESSION_BUS_ADDRESS")) return true;
  const char* runtime = platform::environmentValue("XDG_RUNTIME_DIR");
  struct stat info;
  return runtime && stat((std::string(runtime) + "/bus").c_str(), &info) == 0;
}

}  // namespace

std::unique_ptr<DesktopAlerts> DesktopAlerts::connectIfAvailable() {
  if (!sessionBusMayBeThere()) return nullptr;
  // Beside the platform library, in lib/ of the build tree or the install prefix; kept loaded
  // for the life of the process, as the alerts object needs it.
  const std::string path = platform::installPrefix() + "/lib/" + kDesktopAlertsModule;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return nullptr;
  const auto connect = reinterpret_cast<DesktopAlertsFactory>(dlsym(module, kDesktopAlertsFactory));
  return std::unique_ptr<DesktopAlerts>(connect ? connect() : nullptr);
}

HostPresenter::HostPresenter(platform::Presenter& own, bool toDesktop) : own_(own) {
  if (toDesktop) desktop_ = DesktopAlerts::connectIfAvailable();
  if (desktop_) mirror_.emplace(own_, *desktop_);
}

void DesktopMirror::showAlert(UIAlertView* alert) {
  desktop_.notify(alert->title(), alert->message());
  inner_.showAlert(alert);
}

void DesktopMirror::playSound(const std::string& devicePath) {
  desktop_.playSound(platform::deviceFilePath(devicePath));
  inner_.playSound(devicePath);
}

}  // namespace host
