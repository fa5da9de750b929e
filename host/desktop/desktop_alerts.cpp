#include "host/desktop/desktop_alerts.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <iostream>

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

// The module, or null with why.
const BrimwellDesktopAlerts* loadModule(std::string& why) {
  // Beside the platform library, in lib/brimwell/ of the build tree or the install prefix; kept
  // loaded for the life of the process, as the connection needs it.
  const std::string path = platform::installPrefix() + "/lib/brimwell/" + kDesktopAlertsModule;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    why = dlerror();
    return nullptr;
  }
  const auto entry =
      reinterpret_cast<BrimwellDesktopAlertsEntry>(dlsym(module, kDesktopAlertsEntry));
  const BrimwellDesktopAlerts* table = entry ? entry() : nullptr;
  if (!table) {
    why = std::string("no entry point ") + kDesktopAlertsEntry + " in " + path;
  } else if (table->size < sizeof(BrimwellDesktopAlerts)) {
    why = path + " is older than this host";
    table = nullptr;
  }
  return table;
}

// Loaded at the first use and kept; a module that cannot be loaded is said once.
const BrimwellDesktopAlerts* desktopModule() {
  static const BrimwellDesktopAlerts* const module = [] {
    std::string why;
    const BrimwellDesktopAlerts* loaded = loadModule(why);
    // One write, so that the line reaches the journal whole.
    if (!loaded) {
      std::cerr << std::string(program_invocation_short_name) +
                       ": desktop alerts unavailable: " + why + "\n";
    }
    return loaded;
  }();
  return module;
}

}  // namespace

std::unique_ptr<DesktopAlerts> DesktopAlerts::connectIfAvailable(std::string& why, bool asked) {
  why.clear();
  if (!sessionBusMayBeThere()) {
    if (asked) {
      why =
          "desktop alerts unavailable: no session bus (DBUS_SESSION_BUS_ADDRESS is not set and "
          "there is no bus in XDG_RUNTIME_DIR)";
    }
    return nullptr;
  }
  const BrimwellDesktopAlerts* module = desktopModule();
  if (!module) return nullptr;
  char reason[512];
  void* connection = (asked ? module->connectSaying : module->connectWithin)(kSessionBusTimeoutMs,
                                                                             reason, sizeof reason);
  // No bus to talk to is a session without a desktop: nothing to say. One that did not answer
  // is said.
  if (!connection && reason[0] != '\0') why = std::string("desktop alerts unavailable: ") + reason;
  return connection ? std::make_unique<DesktopAlerts>(*module, connection) : nullptr;
}

HostPresenter::HostPresenter(platform::Presenter& own, bool toDesktop, bool asked) : own_(own) {
  if (toDesktop) desktop_ = DesktopAlerts::connectIfAvailable(notice_, asked);
  if (desktop_) mirror_.emplace(own_, *desktop_);
}

void DesktopMirror::showAlert(UIAlertView* alert) {
  // A notification's summary says what happened; the dialog's title ("Message") says nothing.
  desktop_.notify(alert->message(), "");
  inner_.showAlert(alert);
}

void DesktopMirror::playSound(const std::string& devicePath) {
  desktop_.playSound(platform::deviceFilePath(devicePath));
  inner_.playSound(devicePath);
}

}  // namespace host
