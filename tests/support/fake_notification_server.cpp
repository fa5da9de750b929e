// A stand-in desktop notification server for tests: owns org.freedesktop.Notifications on the
// bus whose address it is given, answers like a real one and prints one line per Notify call:
//   Notify app="..." replaces=N id=M summary="..." body="..."
// It prints "ready" once it owns the name, and runs until it is killed.
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// --silent: a service that takes every call and answers none.
bool gSilent = false;
uint32_t gNextId = 1;

// Returning without a reply leaves the caller waiting.
int unanswered(sd_bus_message* m) {
  std::printf("unanswered %s\n", sd_bus_message_get_member(m));
  std::fflush(stdout);
  return 1;
}

int notify(sd_bus_message* m, void*, sd_bus_error*) {
  if (gSilent) return unanswered(m);
  const char *app, *icon, *summary, *body;
  uint32_t replaces = 0;
  const int r = sd_bus_message_read(m, "susss", &app, &replaces, &icon, &summary, &body);
  if (r < 0) return r;
  const uint32_t id = replaces != 0 ? replaces : gNextId++;
  std::printf("Notify app=\"%s\" replaces=%u id=%u summary=\"%s\" body=\"%s\"\n", app, replaces, id,
              summary, body);
  std::fflush(stdout);
  return sd_bus_reply_method_return(m, "u", id);
}

int capabilities(sd_bus_message* m, void*, sd_bus_error*) {
  if (gSilent) return unanswered(m);
  return sd_bus_reply_method_return(m, "as", 1, "body");
}

int information(sd_bus_message* m, void*, sd_bus_error*) {
  if (gSilent) return unanswered(m);
  return sd_bus_reply_method_return(m, "ssss", "fake", "brimwell", "1", "1.2");
}

int closeNotification(sd_bus_message* m, void*, sd_bus_error*) {
  if (gSilent) return unanswered(m);
  return sd_bus_reply_method_return(m, "");
}

const sd_bus_vtable kVtable[] = {SD_BUS_VTABLE_START(0),
                                 SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", notify, 0),
                                 SD_BUS_METHOD("GetCapabilities", "", "as", capabilities, 0),
                                 SD_BUS_METHOD("GetServerInformation", "", "ssss", information, 0),
                                 SD_BUS_METHOD("CloseNotification", "u", "", closeNotification, 0),
                                 SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  gSilent = argc == 3 && std::strcmp(argv[2], "--silent") == 0;
  if (argc != 2 && !gSilent) {
    std::fprintf(stderr, "usage: fake_notification_server BUS-ADDRESS [--silent]\n");
    return 2;
  }
  sd_bus* bus = nullptr;
  int r = sd_bus_new(&bus);
  if (r >= 0) r = sd_bus_set_address(bus, argv[1]);
  if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
  if (r >= 0) r = sd_bus_start(bus);
  if (r >= 0) {
    r = sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications",
                                 "org.freedesktop.Notifications", kVtable, nullptr);
  }
  if (r >= 0) r = sd_bus_request_name(bus, "org.freedesktop.Notifications", 0);
  if (r < 0) {
    std::fprintf(stderr, "fake_notification_server: %s\n", std::strerror(-r));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    r = sd_bus_process(bus, nullptr);
    if (r < 0) return 1;
    if (r == 0 && sd_bus_wait(bus, UINT64_MAX) < 0) return 1;
  }
}
