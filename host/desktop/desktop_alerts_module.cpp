// The desktop alerts module: libnotify and libcanberra, loaded by the host only on a desktop.
#include "host/desktop/desktop_alerts_entry.h"

#include <alsa/asoundlib.h>
#include <canberra.h>
#include <errno.h>
#include <gio/gio.h>
#include <libnotify/notify.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

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

// libasound prints each error of a sound that cannot be opened on stderr: eight lines an alert
// on a machine without a sound device. The first one says why; it is kept, and said once, when
// a sound could not be played.
std::mutex gSoundTroubleLock;
std::string gFirstAlsaError;
bool gSoundTroubleSaid = false;

void keepAlsaError(const char*, int, const char*, int, const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  const std::lock_guard<std::mutex> lock(gSoundTroubleLock);
  if (gFirstAlsaError.empty()) gFirstAlsaError = text;
}

// Called from libcanberra's thread too, when a sound has ended.
void sayIfSoundFailed(int code) {
  if (code == CA_SUCCESS || code == CA_ERROR_CANCELED) return;
  const std::lock_guard<std::mutex> lock(gSoundTroubleLock);
  if (gSoundTroubleSaid) return;
  gSoundTroubleSaid = true;
  const std::string cause = ca_strerror(code);
  const std::string line =
      std::string(program_invocation_short_name) + ": alert sound unavailable: " +
      (gFirstAlsaError.empty() ? cause : gFirstAlsaError + " (" + cause + ")") + "\n";
  std::fputs(line.c_str(), stderr);  // one write: stderr is unbuffered
}

// One connection: the notification it last showed and a sound context.
class LibnotifyAlerts {
 public:
  // Holds the bus, so that libnotify finds the same connection instead of making its own.
  explicit LibnotifyAlerts(GDBusConnection* bus) : bus_(bus) {
    snd_lib_error_set_handler(keepAlsaError);
    if (ca_context_create(&sound_) != CA_SUCCESS) sound_ = nullptr;
  }
  ~LibnotifyAlerts() {
    if (notification_) g_object_unref(notification_);
    if (warning_) g_object_unref(warning_);
    if (sound_) ca_context_destroy(sound_);
    notify_uninit();
    g_object_unref(bus_);
  }
  LibnotifyAlerts(const LibnotifyAlerts&) = delete;
  LibnotifyAlerts& operator=(const LibnotifyAlerts&) = delete;
  void notify(const char* title, const char* message);
  void playSound(const char* hostPath);
  void warn(const char* summary, const char* body, int urgency, const char* soundEvent,
            const char* cancelLabel);
  void withdraw();
  bool cancelPressed();

 private:
  static void cancelled(NotifyNotification*, char*, gpointer self) {
    static_cast<LibnotifyAlerts*>(self)->cancelPressed_ = true;
  }
  void play(ca_proplist* properties);

  GDBusConnection* bus_;
  NotifyNotification* notification_ = nullptr;
  NotifyNotification* warning_ = nullptr;  // the low-battery warning, replaced in place
  bool cancelPressed_ = false;
  ca_context* sound_ = nullptr;
};

void LibnotifyAlerts::warn(const char* summary, const char* message, int urgency,
                           const char* soundEvent, const char* cancelLabel) {
  gchar* body = g_markup_escape_text(message, -1);
  if (!warning_) {
    warning_ = notify_notification_new(summary, body, "battery-caution");
  } else {
    notify_notification_update(warning_, summary, body, "battery-caution");
  }
  g_free(body);
  notify_notification_set_urgency(warning_,
                                  urgency >= 2 ? NOTIFY_URGENCY_CRITICAL : NOTIFY_URGENCY_NORMAL);
  notify_notification_clear_actions(warning_);
  cancelPressed_ = false;
  if (cancelLabel) {
    notify_notification_add_action(warning_, "cancel", cancelLabel, cancelled, this, nullptr);
  }
  GError* error = nullptr;
  if (!notify_notification_show(warning_, &error)) g_clear_error(&error);
  if (soundEvent && sound_) {
    ca_proplist* properties = nullptr;
    if (ca_proplist_create(&properties) != CA_SUCCESS) return;
    ca_proplist_sets(properties, CA_PROP_EVENT_ID, soundEvent);
    ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, summary);
    play(properties);
    ca_proplist_destroy(properties);
  }
}

void LibnotifyAlerts::withdraw() {
  if (!warning_) return;
  GError* error = nullptr;
  if (!notify_notification_close(warning_, &error)) g_clear_error(&error);
  g_object_unref(warning_);
  warning_ = nullptr;
}

bool LibnotifyAlerts::cancelPressed() {
  // The notification server's signals wait in the default context until something runs it.
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  return std::exchange(cancelPressed_, false);
}

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

void LibnotifyAlerts::play(ca_proplist* properties) {
  sayIfSoundFailed(ca_context_play_full(
      sound_, 0, properties, [](ca_context*, uint32_t, int code, void*) { sayIfSoundFailed(code); },
      nullptr));
}

void LibnotifyAlerts::playSound(const char* hostPath) {
  if (!sound_) return;
  ca_proplist* properties = nullptr;
  if (ca_proplist_create(&properties) != CA_SUCCESS) return;
  ca_proplist_sets(properties, CA_PROP_MEDIA_FILENAME, hostPath);
  ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, "Brimwell charge alert");
  play(properties);
  ca_proplist_destroy(properties);
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
    [](void* c, const char* summary, const char* body, int urgency, const char* soundEvent,
       const char* cancelLabel) {
      connection(c)->warn(summary, body, urgency, soundEvent, cancelLabel);
    },
    [](void* c) { connection(c)->withdraw(); },
    [](void* c) { return connection(c)->cancelPressed() ? 1 : 0; },
};

}  // namespace
}  // namespace host

extern "C" __attribute__((visibility("default"))) const BrimwellDesktopAlerts*
brimwell_desktop_alerts() {
  return &host::kTable;
}
