#pragma once

#include <string>

struct BrimwellDesktopSound;

namespace host {

// The desktop sound module, loaded at the first sound and kept: a laptop service that never
// plays one does not map libcanberra and ALSA. A module that cannot be loaded is said once, on
// stderr, and no sound is tried again.
class SoundModule {
 public:
  SoundModule() = default;
  ~SoundModule();  // lets what was asked for play, within the module's bound
  SoundModule(const SoundModule&) = delete;
  SoundModule& operator=(const SoundModule&) = delete;

  void playFile(const std::string& hostPath, const std::string& description);
  void playEvent(const std::string& eventId, const std::string& description);
  bool loaded() const { return sound_ != nullptr; }

 private:
  bool ready();

  const BrimwellDesktopSound* module_ = nullptr;
  void* sound_ = nullptr;
  bool tried_ = false;
};

}  // namespace host
