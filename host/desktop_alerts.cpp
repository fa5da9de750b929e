#include "host/desktop_alerts.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/foundation/device_environment.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {
namespace {

// Whether a session bus could be there at all, without loading anything to ask it.
bool sessionBusMayBeThere() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info;
  return runtime && stat((std::string(runtime) + "/bus").c_str(), &info) == 0;
}

// Beside the platform library: ../lib from the program, in the build tree and installed.
std::string modulePath() {
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return kDesktopAlertsModule;
  std::string path(exe, static_cast<size_t>(n));
  path = path.substr(0, path.rfind('/'));
  return path.substr(0, path.rfind('/')) + "/lib/" + kDesktopAlertsModule;
}

}  // namespace

std::unique_ptr<DesktopAlerts> DesktopAlerts::connectIfAvailable() {
  if (!sessionBusMayBeThere()) return nullptr;
  // Kept loaded for the life of the process, as the alerts object needs it.
  void* module = dlopen(modulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return nullptr;
  const auto connect = reinterpret_cast<DesktopAlertsFactory>(dlsym(module, kDesktopAlertsFactory));
  return std::unique_ptr<DesktopAlerts>(connect ? connect() : nullptr);
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
