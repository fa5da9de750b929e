#pragma once

#include <stddef.h>
#include <stdint.h>

// What the desktop sound module offers the host, in plain C so that nothing of C++ (classes,
// exceptions, the standard library's layout) crosses dlopen. The table only ever grows at its
// end; `size` says how much of it the module has.
extern "C" {

struct BrimwellDesktopSound {
  size_t size;  // sizeof the table the module was built with
  // The desktop's sound service, played on a thread of the module's own; null when it cannot be
  // had.
  void* (*open)(void);
  // A sound file, or the sound theme's event ("battery-low"), replacing one still waiting.
  void (*playFile)(void* sound, const char* hostPath, const char* description);
  void (*playEvent)(void* sound, const char* eventId, const char* description);
  // Lets what was asked for play, within a bound, and ends.
  void (*close)(void* sound);
};

// The module's one exported symbol.
typedef const struct BrimwellDesktopSound* (*BrimwellDesktopSoundEntry)(void);
}

// libcanberra and ALSA are large and wanted only on a desktop that plays a sound: they live in a
// module of their own, loaded at the first sound.
inline constexpr const char* kDesktopSoundModule = "brimwell-desktop-alerts.so";
inline constexpr const char* kDesktopSoundEntry = "brimwell_desktop_sound";
