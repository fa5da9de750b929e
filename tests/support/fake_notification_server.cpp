// A stand-in desktop notification server for tests: owns org.freedesktop.Notifications on the
// bus whose address it is given, answers like a real one and prints one line per Notify call:
//   Notify app="..." replaces=N id=M summary="..." body="..."
// It prints "ready" once it owns the name, and runs until it is killed.
#include <gio/gio.h>

#include <cstdio>

namespace {

// --silent: a service that takes every call and answers none.
bool gSilent = false;

const char* kInterface =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='Notify'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='as' direction='in'/><arg type='a{sv}' direction='in'/><arg type='i' "
    "direction='in'/>"
    "<arg type='u' direction='out'/></method>"
    "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
    "<method name='GetServerInformation'><arg type='s' direction='out'/><arg type='s' "
    "direction='out'/>"
    "<arg type='s' direction='out'/><arg type='s' direction='out'/></method>"
    "<method name='CloseNotification'><arg type='u' direction='in'/></method>"
    "</interface></node>";

guint32 gNextId = 1;

void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
  if (gSilent) {
    std::printf("unanswered %s\n", method);  // takes the call, never answers it
    std::fflush(stdout);
    g_object_ref(invocation);
    return;
  }
  if (g_strcmp0(method, "Notify") == 0) {
    const gchar *app, *icon, *summary, *body;
    guint32 replaces;
    GVariantIter *actions, *hints;
    gint32 timeout;
    g_variant_get(parameters, "(&su&s&s&sasa{sv}i)", &app, &replaces, &icon, &summary, &body,
                  &actions, &hints, &timeout);
    const guint32 id = replaces != 0 ? replaces : gNextId++;
    std::printf("Notify app=\"%s\" replaces=%u id=%u summary=\"%s\" body=\"%s\"\n", app, replaces,
                id, summary, body);
    std::fflush(stdout);
    g_variant_iter_free(actions);
    g_variant_iter_free(hints);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", id));
  } else if (g_strcmp0(method, "GetCapabilities") == 0) {
    const gchar* capabilities[] = {"body", nullptr};
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
  } else if (g_strcmp0(method, "GetServerInformation") == 0) {
    g_dbus_method_invocation_return_value(invocation,
                                          g_variant_new("(ssss)", "fake", "brimwell", "1", "1.2"));
  } else {
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }
}

void onNameAcquired(GDBusConnection*, const gchar*, gpointer) {
  std::printf("ready\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  gSilent = argc == 3 && g_strcmp0(argv[2], "--silent") == 0;
  if (argc != 2 && !gSilent) {
    std::fprintf(stderr, "usage: fake_notification_server BUS-ADDRESS [--silent]\n");
    return 2;
  }
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      argv[1],
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (!bus) {
    std::fprintf(stderr, "fake_notification_server: %s\n", error->message);
    return 1;
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
  static const GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
  g_dbus_connection_register_object(bus, "/org/freedesktop/Notifications", node->interfaces[0],
                                    &vtable, nullptr, nullptr, nullptr);
  g_bus_own_name_on_connection(bus, "org.freedesktop.Notifications", G_BUS_NAME_OWNER_FLAGS_NONE,
                               onNameAcquired, nullptr, nullptr, nullptr);
  g_main_loop_run(g_main_loop_new(nullptr, FALSE));
  return 0;
}
