// The desktop alerts module: libnotify and libcanberra, loaded by the host only on a desktop.
#include "host/desktop/desktop_alerts_entry.h"

#include <canberra.h>
#include <gio/gio.h>
#include <libnotify/notify.h>

namespace host {
namespace {

// The session bus asked without blocking: g_bus_get_sync waits for ever on a bus that accepts
// the connection and never answers.
class BusRequest {
 public:
  explicit BusRequest(unsigned timeoutMs)
      : context_(g_main_context_new()),
        cancellable_(g_cancellable_new()),
        timer_(g_timeout_source_new(timeoutMs)) {
    g_main_context_push_thread_default(context_);
    g_source_set_callback(timer_, giveUp, cancellable_, nullptr);
    g_source_attach(timer_, context_);
  }
  ~BusRequest() {
    g_source_destroy(timer_);
    g_source_unref(timer_);
    g_object_unref(cancellable_);
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
  }
  BusRequest(const BusRequest&) = delete;
  BusRequest& operator=(const BusRequest&) = delete;

  // The connection, or null; timedOut tells a bus that did not answer from no bus at all.
  GDBusConnection* wait(bool& timedOut) {
    g_bus_get(G_BUS_TYPE_SESSION, cancellable_, arrived, this);
    // Cancelling ends the connecting thread's wait, which then calls back with an error.
    while (!done_) g_main_context_iteration(context_, TRUE);
    timedOut = !bus_ && g_cancellable_is_cancelled(cancellable_);
    return bus_;
  }

 private:
  static gboolean giveUp(gpointer cancellable) {
    g_cancellable_cancel(G_CANCELLABLE(cancellable));
    return G_SOURCE_REMOVE;
  }
  static void arrived(GObject*, GAsyncResult* result, gpointer self) {
    auto* request = static_cast<BusRequest*>(self);
    request->bus_ = g_bus_get_finish(result, nullptr);
    request->done_ = true;
  }

  GMainContext* context_;
  GCancellable* cancellable_;
  GSource* timer_;
  GDBusConnection* bus_ = nullptr;
  bool done_ = false;
};

// One connection: the notification it last showed and a sound context.
class LibnotifyAlerts {
 public:
  // Holds the bus, so that libnotify finds the same connection instead of making its own.
  explicit LibnotifyAlerts(GDBusConnection* bus) : bus_(bus) {
    if (ca_context_create(&sound_) != CA_SUCCESS) sound_ = nullptr;
  }
  ~LibnotifyAlerts() {
    if (notification_) g_object_unref(notification_);
    if (sound_) ca_context_destroy(sound_);
    notify_uninit();
    g_object_unref(bus_);
  }
  LibnotifyAlerts(const LibnotifyAlerts&) = delete;
  LibnotifyAlerts& operator=(const LibnotifyAlerts&) = delete;
  void notify(const char* title, const char* message);
  void playSound(const char* hostPath);

 private:
  GDBusConnection* bus_;
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

void* connectWithin(unsigned timeoutMs, char* why, size_t whySize) {
  if (whySize > 0) why[0] = '\0';
  bool timedOut = false;
  GDBusConnection* bus = BusRequest(timeoutMs).wait(timedOut);
  if (timedOut && whySize > 0) {
    g_snprintf(why, whySize, "the session bus did not answer within %u s",
               (timeoutMs + 999) / 1000);
  }
  if (!bus) return nullptr;
  if (!notify_init("Brimwell")) {
    g_object_unref(bus);
    return nullptr;
  }
  return new LibnotifyAlerts(bus);
}

LibnotifyAlerts* connection(void* opaque) {
  return static_cast<LibnotifyAlerts*>(opaque);
}

const BrimwellDesktopAlerts kTable = {
    sizeof(BrimwellDesktopAlerts),
    [] { return connectWithin(kSessionBusTimeoutMs, nullptr, 0); },
    [](void* c, const char* title, const char* message) { connection(c)->notify(title, message); },
    [](void* c, const char* hostPath) { connection(c)->playSound(hostPath); },
    [](void* c) { delete connection(c); },
    connectWithin,
};

}  // namespace
}  // namespace host

extern "C" __attribute__((visibility("default"))) const BrimwellDesktopAlerts*
brimwell_desktop_alerts() {
  return &host::kTable;
}
