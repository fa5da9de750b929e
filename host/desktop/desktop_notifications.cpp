#include "host/desktop/desktop_notifications.h"

#include <string>

namespace host {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

// What an answer needs: whose call it was and which slot it fills; freed with the answer.
struct Call {
  DesktopNotifications* owner;
  GCancellable* cancellable;
  void* slot;  // DesktopNotifications::Slot*, or null for a call without an id to keep
};

}  // namespace

DesktopNotifications::DesktopNotifications(GDBusConnection* bus, std::function<void()> noAnswer)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))),
      noAnswer_(std::move(noAnswer)),
      cancellable_(g_cancellable_new()) {
  subscription_ =
      g_dbus_connection_signal_subscribe(bus_, kService, kService, "ActionInvoked", kPath, nullptr,
                                         G_DBUS_SIGNAL_FLAGS_NONE, actionInvoked, this, nullptr);
}

DesktopNotifications::~DesktopNotifications() {
  // Answers still on their way find the call cancelled and touch nothing of ours.
  g_cancellable_cancel(cancellable_);
  g_dbus_connection_signal_unsubscribe(bus_, subscription_);
  g_object_unref(cancellable_);
  // What was sent last (a countdown taken back) leaves before the connection goes.
  g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
  g_object_unref(bus_);
}

void DesktopNotifications::runPending() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

void DesktopNotifications::answered(GObject* bus, GAsyncResult* result, gpointer data) {
  Call* call = static_cast<Call*>(data);
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
  if (!g_cancellable_is_cancelled(call->cancellable)) {
    DesktopNotifications* self = call->owner;
    auto* slot = static_cast<Slot*>(call->slot);
    if (slot) slot->pending = false;
    if (reply && slot && g_variant_is_of_type(reply, G_VARIANT_TYPE("(u)"))) {
      g_variant_get(reply, "(u)", &slot->id);
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) && !self->unanswered_) {
      self->unanswered_ = true;
      if (self->noAnswer_) self->noAnswer_();
    }
  }
  if (reply) g_variant_unref(reply);
  g_clear_error(&error);
  g_object_unref(call->cancellable);
  delete call;
}

void DesktopNotifications::show(Which which, const std::string& summary, const std::string& body,
                                int urgency, const char* cancelLabel) {
  runPending();
  // A service that let a call go unanswered gets no more: its notices would come late and
  // stack, and a countdown shown after its action would mislead.
  if (unanswered_) return;
  Slot& s = slot(which);
  awaitId(s);
  if (unanswered_) return;
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  if (which == Which::warning) {
    cancelPressed_ = false;
    cancelKey_ = cancelLabel ? "cancel-" + std::to_string(++cancels_) : std::string();
  }
  if (cancelLabel) {
    g_variant_builder_add(&actions, "s", cancelKey_.c_str());
    g_variant_builder_add(&actions, "s", cancelLabel);
  }
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "urgency",
                        g_variant_new_byte(static_cast<guchar>(urgency)));
  // Bodies may be read as markup by the notification server.
  gchar* escaped = g_markup_escape_text(body.c_str(), -1);
  GVariant* parameters = g_variant_new("(susssasa{sv}i)", "Brimwell", s.id,
                                       which == Which::alert ? "battery"
                                       : urgency >= 2        ? "battery-caution"
                                                             : "battery-low",
                                       summary.c_str(), escaped, &actions, &hints, -1);
  g_free(escaped);
  s.pending = true;
  g_dbus_connection_call(bus_, kService, kPath, kService, "Notify", parameters,
                         G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                         cancellable_, answered,
                         new Call{this, G_CANCELLABLE(g_object_ref(cancellable_)), &s});
}

// The previous Notify's answer carries the id the next call replaces or closes; it comes within
// the call's bound.
void DesktopNotifications::awaitId(Slot& s) {
  while (s.pending && !unanswered_) g_main_context_iteration(nullptr, TRUE);
}

void DesktopNotifications::close(Which which) {
  runPending();
  Slot& s = slot(which);
  if (which == Which::warning) {
    cancelPressed_ = false;
    cancelKey_.clear();
  }
  awaitId(s);
  if (s.id == 0) return;
  g_dbus_connection_call(bus_, kService, kPath, kService, "CloseNotification",
                         g_variant_new("(u)", s.id), nullptr, G_DBUS_CALL_FLAGS_NONE,
                         kCallTimeoutMs, cancellable_, answered,
                         new Call{this, G_CANCELLABLE(g_object_ref(cancellable_)), nullptr});
  s.id = 0;
}

void DesktopNotifications::actionInvoked(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                         const gchar*, GVariant* parameters, gpointer data) {
  auto* self = static_cast<DesktopNotifications*>(data);
  guint32 id = 0;
  const gchar* action = nullptr;
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) return;
  g_variant_get(parameters, "(u&s)", &id, &action);
  if (id != 0 && id == self->warning_.id && !self->cancelKey_.empty() &&
      self->cancelKey_ == action) {
    self->cancelPressed_ = true;
  }
}

bool DesktopNotifications::cancelPressed() {
  runPending();
  const bool pressed = cancelPressed_;
  cancelPressed_ = false;
  return pressed;
}

}  // namespace host
