#include "host/desktop_alerts.h"

#include <canberra.h>
#include <gio/gio.h>
#include <libnotify/notify.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/foundation/device_environment.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {

struct DesktopAlerts::Handles {
  NotifyNotification* notification = nullptr;
  ca_context* sound = nullptr;
};

namespace {

// A session bus is there when its address is given or the usual socket exists; gio is not
// asked to start one.
bool sessionBusAvailable() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address || !*address) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info;
    if (!runtime || stat((std::string(runtime) + "/bus").c_str(), &info) != 0) return false;
  }
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    g_clear_error(&error);
    return false;
  }
  g_object_unref(bus);
  return true;
}

}  // namespace

std::unique_ptr<DesktopAlerts> DesktopAlerts::connectIfAvailable() {
  if (!sessionBusAvailable() || !notify_init("Brimwell")) return nullptr;
  std::unique_ptr<DesktopAlerts> alerts(new DesktopAlerts());
  alerts->handles_ = std::make_unique<Handles>();
  if (ca_context_create(&alerts->handles_->sound) != CA_SUCCESS) alerts->handles_->sound = nullptr;
  return alerts;
}

DesktopAlerts::~DesktopAlerts() {
  if (!handles_) return;
  if (handles_->notification) g_object_unref(handles_->notification);
  if (handles_->sound) ca_context_destroy(handles_->sound);
  notify_uninit();
}

void DesktopAlerts::notify(const std::string& title, const std::string& message) {
  // Bodies may be read as markup by the notification server.
  gchar* body = g_markup_escape_text(message.c_str(), -1);
  if (!handles_->notification) {
    handles_->notification = notify_notification_new(title.c_str(), body, "battery");
  } else {
    notify_notification_update(handles_->notification, title.c_str(), body, "battery");
  }
  g_free(body);
  GError* error = nullptr;
  // A desktop without a notification server is not an error worth reporting.
  if (!notify_notification_show(handles_->notification, &error)) g_clear_error(&error);
}

void DesktopAlerts::playSound(const std::string& hostPath) {
  if (!handles_->sound) return;
  ca_context_play(handles_->sound, 0, CA_PROP_MEDIA_FILENAME, hostPath.c_str(),
                  CA_PROP_EVENT_DESCRIPTION, "Brimwell charge alert", nullptr);
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
