// The desktop alerts module: libnotify and libcanberra, loaded by the host only on a desktop.
#include "host/desktop/desktop_alerts_entry.h"

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

// One connection: the notification it last showed and a sound context.
class LibnotifyAlerts {
 public:
  LibnotifyAlerts() {
    if (ca_context_create(&sound_) != CA_SUCCESS) sound_ = nullptr;
  }
  ~LibnotifyAlerts() {
    if (notification_) g_object_unref(notification_);
    if (sound_) ca_context_destroy(sound_);
    notify_uninit();
  }
  LibnotifyAlerts(const LibnotifyAlerts&) = delete;
  LibnotifyAlerts& operator=(const LibnotifyAlerts&) = delete;
  void notify(const char* title, const char* message);
  void playSound(const char* hostPath);

 private:
  NotifyNotification* notification_ = nullptr;
  ca_context* sound_ = nullptr;
};

void LibnotifyAlerts::notify(const char* title, const char* message) {
  // Bodies may be read as markup by the notification server.
  gchar* body = g_markup_escape_text(message, -1);
  if (!notification_) {
    notification_ = notify_notification_new(title, body, "battery");
  } else {
    notify_notification_update(notification_, title, body, "battery");
  }
  g_free(body);
  GError* error = nullptr;
  // A desktop without a notification server is not an error worth reporting.
  if (!notify_notification_show(notification_, &error)) g_clear_error(&error);
}

void LibnotifyAlerts::playSound(const char* hostPath) {
  if (!sound_) return;
  ca_context_play(sound_, 0, CA_PROP_MEDIA_FILENAME, hostPath, CA_PROP_EVENT_DESCRIPTION,
                  "Brimwell charge alert", nullptr);
}

void* connect() {
  if (!sessionBusAnswers() || !notify_init("Brimwell")) return nullptr;
  return new LibnotifyAlerts();
}

LibnotifyAlerts* connection(void* opaque) {
  return static_cast<LibnotifyAlerts*>(opaque);
}

const BrimwellDesktopAlerts kTable = {
    sizeof(BrimwellDesktopAlerts),
    connect,
    [](void* c, const char* title, const char* message) { connection(c)->notify(title, message); },
    [](void* c, const char* hostPath) { connection(c)->playSound(hostPath); },
    [](void* c) { delete connection(c); },
};

}  // namespace
}  // namespace host

extern "C" __attribute__((visibility("default"))) const BrimwellDesktopAlerts*
brimwell_desktop_alerts() {
  return &host::kTable;
}
