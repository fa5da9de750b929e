// The desktop sound module: the alert sounds through libcanberra, loaded by the host only when it
// first plays one.
#include "host/desktop/desktop_sound.h"
#include "host/desktop/desktop_sound_entry.h"

namespace host {
namespace {

DesktopSound* sound(void* opaque) {
  return static_cast<DesktopSound*>(opaque);
}

const BrimwellDesktopSound kTable = {
    sizeof(BrimwellDesktopSound),
    []() -> void* { return new DesktopSound(); },
    [](void* s, const char* hostPath, const char* description) {
      sound(s)->playFile(hostPath, description);
    },
    [](void* s, const char* eventId, const char* description) {
      sound(s)->playEvent(eventId, description);
    },
    [](void* s) { delete sound(s); },
};

}  // namespace
}  // namespace host

extern "C" __attribute__((visibility("default"))) const BrimwellDesktopSound*
brimwell_desktop_sound() {
  return &host::kTable;
}
