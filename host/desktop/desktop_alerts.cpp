#include "host/desktop/desktop_alerts.h"

#include <errno.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/text_out.h"
#include "host/bus/bus_connection.h"
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

std::unique_ptr<DesktopAlerts> DesktopAlerts::connectIfAvailable(std::string& why, bool asked,
                                                                 bool runLoop) {
  why.clear();
  if (!sessionBusMayBeThere()) {
    if (asked) {
      why =
          "desktop alerts unavailable: no session bus (DBUS_SESSION_BUS_ADDRESS is not set and "
          "there is no bus in XDG_RUNTIME_DIR)";
    }
    return nullptr;
  }
  std::string cause;
  auto bus = bus::Connection::open(bus::Connection::Which::session, cause);
  if (!bus) {
    // No bus to talk to is a session without a desktop: said only where alerts were asked for.
    if (asked) {
      why = "desktop alerts unavailable: no session bus: Could not connect: " +
            cause.substr(cause.find(": ") + 2);
    }
    return nullptr;
  }
  std::unique_ptr<DesktopAlerts> alerts(new DesktopAlerts(std::move(bus), !runLoop, asked));
  if (!runLoop) alerts->notifications_->awaitReady();
  alerts->connecting_ = false;
  if (!alerts->connectFailure_.empty() || (!runLoop && !alerts->notifications_->ready())) {
    why = alerts->connectFailure_;
    return nullptr;
  }
  return alerts;
}

DesktopAlerts::DesktopAlerts(std::unique_ptr<bus::Connection> bus, bool waits, bool asked)
    : bus_(std::move(bus)), asked_(asked) {
  notifications_ = std::make_unique<DesktopNotifications>(
      *bus_, waits, [this](const std::string& line, bool noBus) { unavailable(line, noBus); });
}

DesktopAlerts::~DesktopAlerts() = default;

// Said once: a bus that does not answer always, a bus that refuses us only where alerts were
// asked for.
void DesktopAlerts::unavailable(const std::string& line, bool noBus) {
  if (noBus && !asked_) return;
  if (connecting_) {
    connectFailure_ = line;
  } else if (say_) {
    say_(line);
  } else {
    // One write, so that the line reaches the journal whole.
    brimwell::writeText(stderr, std::string(program_invocation_short_name) + ": " + line + "\n");
  }
}

void DesktopAlerts::playSound(const std::string& hostPath) {
  if (!silent()) sound_.playFile(hostPath, "Brimwell charge alert");
}

void DesktopAlerts::warn(const std::string& summary, const std::string& body, Urgency urgency,
                         const char* soundEvent, const char* cancelLabel) {
  notifications_->show(DesktopNotifications::Which::warning, summary, body,
                       static_cast<int>(urgency), cancelLabel);
  if (soundEvent && !silent()) sound_.playEvent(soundEvent, summary);
}

HostPresenter::HostPresenter(platform::Presenter& own, bool toDesktop, bool asked, bool runLoop)
    : own_(own) {
  if (toDesktop) desktop_ = DesktopAlerts::connectIfAvailable(notice_, asked, runLoop);
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
