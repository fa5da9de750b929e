// The desktop alerts module: libnotify and libcanberra, loaded by the host only on a desktop.
#include "host/desktop/desktop_alerts.h"

#include <canberra.h>
#include <gio/gio.h>
#include <libnotify/notify.h>

namespace host {
namespace {

// The host checked that a bus may be there; this asks it.
bool sessionBusAnswers() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    g_clear_error(&error);
    return false;
  }
  g_object_unref(bus);
  return true;
}

class LibnotifyAlerts : public DesktopAlerts {
 public:
  LibnotifyAlerts() {
    if (ca_context_create(&sound_) != CA_SUCCESS) sound_ = nullptr;
  }
  ~LibnotifyAlerts() override {
    if (notification_) g_object_unref(notification_);
    if (sound_) ca_context_destroy(sound_);
    notify_uninit();
  }
  void notify(const std::string& title, const std::string& message) override;
  void playSound(const std::string& hostPath) override;

 private:
  NotifyNotification* notification_ = nullptr;
  ca_context* sound_ = nullptr;
};

void LibnotifyAlerts::notify(const std::string& title, const std::string& message) {
  // Bodies may be read as markup by the notification server.
  gchar* body = g_markup_escape_text(message.c_str(), -1);
  if (!notification_) {
    notification_ = notify_notification_new(title.c_str(), body, "battery");
  } else {
    notify_notification_update(notification_, title.c_str(), body, "battery");
  }
  g_free(body);
  GError* error = nullptr;
  // A desktop without a notification server is not an error worth reporting.
  if (!notify_notification_show(notification_, &error)) g_clear_error(&error);
}

void LibnotifyAlerts::playSound(const std::string& hostPath) {
  if (!sound_) return;
  ca_context_play(sound_, 0, CA_PROP_MEDIA_FILENAME, hostPath.c_str(), CA_PROP_EVENT_DESCRIPTION,
                  "Brimwell charge alert", nullptr);
}

}  // namespace
}  // namespace host

extern "C" __attribute__((visibility("default"))) host::DesktopAlerts*
brimwell_connect_desktop_alerts() {
  if (!host::sessionBusAnswers() || !notify_init("Brimwell")) return nullptr;
  return new host::LibnotifyAlerts();
}
