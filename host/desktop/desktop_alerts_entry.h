#pragma once

#include <stddef.h>
#include <stdint.h>

// What the desktop-alerts module offers the host, in plain C so that nothing of C++ (classes,
// exceptions, the standard library's layout) crosses dlopen. The table only ever grows at its
// end; `size` says how much of it the module has.
extern "C" {

struct BrimwellDesktopAlerts {
  size_t size;  // sizeof the table the module was built with
  // Connects to the session bus; null when it does not answer (within connectWithin's bound).
  void* (*connect)(void);
  // A notification for the dialog, replacing the one this connection showed before.
  void (*notify)(void* connection, const char* title, const char* message);
  void (*playSound)(void* connection, const char* hostPath);
  void (*disconnect)(void* connection);
  // Connects, giving up on a bus that has not answered within timeoutMs; then null, with why
  // written into the buffer (empty when there is simply no bus to talk to).
  void* (*connectWithin)(unsigned timeoutMs, char* why, size_t whySize);
  // A low-battery warning, replacing the previous one (not the charge alerts' notification):
  // urgency 1 normal, 2 critical; the sound theme's event to play (null: none); a Cancel
  // action's label (null: no action).
  void (*warn)(void* connection, const char* summary, const char* body, int urgency,
               const char* soundEvent, const char* cancelLabel);
  // Takes the warning down.
  void (*withdraw)(void* connection);
  // Whether the user pressed the warning's Cancel since the last call.
  int (*cancelPressed)(void* connection);
  // As connectWithin, but why also says why there was no bus to talk to (an address where
  // nothing listens, say), for a host that was asked for desktop alerts.
  void* (*connectSaying)(unsigned timeoutMs, char* why, size_t whySize);
};

// The module's one exported symbol.
typedef const struct BrimwellDesktopAlerts* (*BrimwellDesktopAlertsEntry)(void);
}

inline constexpr const char* kDesktopAlertsModule = "brimwell-desktop-alerts.so";
inline constexpr const char* kDesktopAlertsEntry = "brimwell_desktop_alerts";
// A session bus that accepts a connection but never answers would otherwise block the host for
// ever; one that answers does so in milliseconds.
inline constexpr unsigned kSessionBusTimeoutMs = 2000;
