#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

namespace host {

// The freedesktop notification service, spoken to directly over the session bus: every call
// is asynchronous and bounded, so that a service that takes a call and never answers costs the
// host nothing (libnotify's calls wait 25 s each). Two notifications of our own, each replaced
// in place: the charge alerts', and the low-battery warning.
class DesktopNotifications {
 public:
  // noAnswer is called, once, when the service first lets a call go unanswered.
  DesktopNotifications(GDBusConnection* bus, std::function<void()> noAnswer);
  ~DesktopNotifications();
  DesktopNotifications(const DesktopNotifications&) = delete;
  DesktopNotifications& operator=(const DesktopNotifications&) = delete;

  enum class Which { alert, warning };
  // urgency: 0 low, 1 normal, 2 critical; cancelLabel, when given, adds a Cancel action.
  void show(Which which, const std::string& summary, const std::string& body, int urgency,
            const char* cancelLabel);
  void close(Which which);
  // Whether the Cancel of the warning now shown was pressed since the last call. Each warning's
  // Cancel is its own: one pressed on a warning since replaced or closed counts for nothing.
  bool cancelPressed();

  static constexpr int kCallTimeoutMs = 2000;

 private:
  struct Slot {
    guint32 id = 0;        // the server's id of our notification, to replace it
    bool pending = false;  // a Notify awaits its answer (and the id)
  };
  static void answered(GObject* bus, GAsyncResult* result, gpointer call);
  static void actionInvoked(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar*, GVariant* parameters, gpointer self);
  void runPending();
  void awaitId(Slot& s);
  Slot& slot(Which which) { return which == Which::alert ? alert_ : warning_; }

  GDBusConnection* bus_;
  std::function<void()> noAnswer_;
  GCancellable* cancellable_;
  guint subscription_ = 0;
  Slot alert_, warning_;
  bool unanswered_ = false;  // the service let a call go unanswered: no more waiting on it
  bool cancelPressed_ = false;
  // The action key of the warning's Cancel, new for each warning that has one; replaced
  // notifications keep their id, so the id alone cannot tell whose Cancel was pressed.
  std::string cancelKey_;
  unsigned cancels_ = 0;
};

}  // namespace host
