// The desktop alerts module: notifications over the session bus (GIO) and sound through
// libcanberra, loaded by the host only on a desktop.
#include <gio/gio.h>

#include <cstdio>
#include <string>

#include "host/desktop/desktop_alerts_entry.h"
#include "host/desktop/desktop_notifications.h"
#include "host/desktop/desktop_sound.h"

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
  // Why there is no connection, as GIO says it.
  const std::string& error() const { return error_; }

 private:
  static gboolean giveUp(gpointer cancellable) {
    g_cancellable_cancel(G_CANCELLABLE(cancellable));
    return G_SOURCE_REMOVE;
  }
  static void arrived(GObject*, GAsyncResult* result, gpointer self) {
    auto* request = static_cast<BusRequest*>(self);
    GError* error = nullptr;
    request->bus_ = g_bus_get_finish(result, &error);
    if (error) request->error_ = error->message;
    g_clear_error(&error);
    request->done_ = true;
  }

  GMainContext* context_;
  GCancellable* cancellable_;
  GSource* timer_;
  GDBusConnection* bus_ = nullptr;
  std::string error_;
  bool done_ = false;
};

// One connection: the bus, our notifications on it, and the sound.
class Connection {
 public:
  explicit Connection(GDBusConnection* bus)
      : bus_(bus), notifications_(bus, [] {
          std::fprintf(stderr,
                       "%s: desktop notifications unavailable: the notification service did not "
                       "answer within %d s\n",
                       program_invocation_short_name, DesktopNotifications::kCallTimeoutMs / 1000);
        }) {}
  ~Connection() { g_object_unref(bus_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  GDBusConnection* bus_;
  DesktopNotifications notifications_;
  DesktopSound sound_;
};

void* connect(unsigned timeoutMs, char* why, size_t whySize, bool sayNoBus) {
  if (whySize > 0) why[0] = '\0';
  bool timedOut = false;
  GDBusConnection* bus = nullptr;
  {
    // Its main context is gone before the connection subscribes to anything.
    BusRequest request(timeoutMs);
    bus = request.wait(timedOut);
    if (timedOut && whySize > 0) {
      g_snprintf(why, whySize, "the session bus did not answer within %u s",
                 (timeoutMs + 999) / 1000);
    } else if (!bus && sayNoBus && whySize > 0) {
      g_snprintf(why, whySize, "no session bus: %s", request.error().c_str());
    }
  }
  return bus ? new Connection(bus) : nullptr;
}

void* connectWithin(unsigned timeoutMs, char* why, size_t whySize) {
  return connect(timeoutMs, why, whySize, false);
}

Connection* connection(void* opaque) {
  return static_cast<Connection*>(opaque);
}

using Which = DesktopNotifications::Which;

const BrimwellDesktopAlerts kTable = {
    sizeof(BrimwellDesktopAlerts),
    [] { return connectWithin(kSessionBusTimeoutMs, nullptr, 0); },
    [](void* c, const char* summary, const char* body) {
      connection(c)->notifications_.show(Which::alert, summary, body, 1, nullptr);
    },
    [](void* c, const char* hostPath) {
      connection(c)->sound_.playFile(hostPath, "Brimwell charge alert");
    },
    [](void* c) { delete connection(c); },
    connectWithin,
    [](void* c, const char* summary, const char* body, int urgency, const char* soundEvent,
       const char* cancelLabel) {
      connection(c)->notifications_.show(Which::warning, summary, body, urgency, cancelLabel);
      if (soundEvent) connection(c)->sound_.playEvent(soundEvent, summary);
    },
    [](void* c) { connection(c)->notifications_.close(Which::warning); },
    [](void* c) { return connection(c)->notifications_.cancelPressed() ? 1 : 0; },
    [](unsigned timeoutMs, char* why, size_t whySize) {
      return connect(timeoutMs, why, whySize, true);
    },
};

}  // namespace
}  // namespace host

extern "C" __attribute__((visibility("default"))) const BrimwellDesktopAlerts*
brimwell_desktop_alerts() {
  return &host::kTable;
}
