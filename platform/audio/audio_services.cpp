#include "platform/audio/audio_services.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>

#include "platform/foundation/device_environment.h"
#include "platform/uikit/presenter.h"

namespace {

struct Sound {
  std::string devicePath;
  AudioServicesSystemSoundCompletionProc completion = nullptr;
  void* clientData = nullptr;
};

std::map<SystemSoundID, Sound>& sounds() {
  static std::map<SystemSoundID, Sound> table;
  return table;
}
SystemSoundID gNextSound = 4096;  // above the system's own sounds

}  // namespace

OSStatus AudioServicesCreateSystemSoundID(const NSURL& url, SystemSoundID* outSound) {
  const int fd =
      open(platform::deviceFilePath(url.path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kAudioServicesSystemSoundUnspecifiedError;
  close(fd);
  if (!outSound) return kAudioServicesSystemSoundUnspecifiedError;
  const SystemSoundID sound = gNextSound++;
  sounds()[sound] = Sound{url.path};
  *outSound = sound;
  return kAudioServicesNoError;
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID sound) {
  return sounds().erase(sound) ? kAudioServicesNoError : kAudioServicesSystemSoundUnspecifiedError;
}

OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID sound,
                                               AudioServicesSystemSoundCompletionProc completion,
                                               void* clientData) {
  auto found = sounds().find(sound);
  if (found == sounds().end()) return kAudioServicesSystemSoundUnspecifiedError;
  found->second.completion = completion;
  found->second.clientData = clientData;
  return kAudioServicesNoError;
}

void AudioServicesPlaySystemSound(SystemSoundID sound) {
  platform::Presenter* presenter = platform::currentPresenter();
  if (sound == kSystemSoundID_Vibrate) {
    if (presenter) presenter->vibrate();
    return;
  }
  auto found = sounds().find(sound);
  if (found == sounds().end()) return;
  const Sound played = found->second;
  if (presenter) presenter->playSound(played.devicePath);
  // The stand-in hands the sound to the presenter whole, so it has finished here.
  if (played.completion) played.completion(sound, played.clientData);
}

namespace platform {
size_t liveSystemSounds() {
  return sounds().size();
}
}  // namespace platform
