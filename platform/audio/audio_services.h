#pragma once

#include <cstdint>
#include <string>

#include "platform/api.h"

// File URLs and system sounds.
struct NSURL {
  std::string path;
  static NSURL fileURLWithPath(std::string path) { return NSURL{std::move(path)}; }
};

using SystemSoundID = uint32_t;
using OSStatus = int32_t;
inline constexpr SystemSoundID kSystemSoundID_Vibrate = 4095;
inline constexpr OSStatus kAudioServicesNoError = 0;
inline constexpr OSStatus kAudioServicesSystemSoundUnspecifiedError = -1500;

using AudioServicesSystemSoundCompletionProc = void (*)(SystemSoundID sound, void* clientData);

// Creates a sound from a file on the device; an error and no identifier when the file cannot
// be opened.
PLATFORM_API OSStatus AudioServicesCreateSystemSoundID(const NSURL& url, SystemSoundID* outSound);
PLATFORM_API OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID sound);
// Plays without waiting; 4095 vibrates. The completion, if one is registered, runs when the
// sound has finished.
PLATFORM_API void AudioServicesPlaySystemSound(SystemSoundID sound);
PLATFORM_API OSStatus AudioServicesAddSystemSoundCompletion(
    SystemSoundID sound, AudioServicesSystemSoundCompletionProc completion, void* clientData);

namespace platform {
PLATFORM_API size_t liveSystemSounds();
}
