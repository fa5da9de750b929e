#include "host/desktop/sound_module.h"

#include <dlfcn.h>
#include <errno.h>

#include "common/text_out.h"
#include "host/desktop/desktop_sound_entry.h"
#include "platform/foundation/device_environment.h"

namespace host {
namespace {

// The module's table, or null with why.
const BrimwellDesktopSound* loadModule(std::string& why) {
  // Beside the platform library, in lib/brimwell/ of the build tree or the install prefix; kept
  // loaded for the life of the process, as its sound thread may outlive the host's last call.
  const std::string path = platform::installPrefix() + "/lib/brimwell/" + kDesktopSoundModule;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    why = dlerror();
    return nullptr;
  }
  const auto entry = reinterpret_cast<BrimwellDesktopSoundEntry>(dlsym(module, kDesktopSoundEntry));
  const BrimwellDesktopSound* table = entry ? entry() : nullptr;
  if (!table) {
    why = std::string("no entry point ") + kDesktopSoundEntry + " in " + path;
  } else if (table->size < sizeof(BrimwellDesktopSound)) {
    why = path + " is older than this host";
    table = nullptr;
  }
  return table;
}

}  // namespace

SoundModule::~SoundModule() {
  if (sound_) module_->close(sound_);
}

bool SoundModule::ready() {
  if (tried_) return sound_ != nullptr;
  tried_ = true;
  std::string why;
  module_ = loadModule(why);
  if (module_) sound_ = module_->open();
  // One write, so that the line reaches the journal whole.
  if (!module_) {
    brimwell::writeText(stderr, std::string(program_invocation_short_name) +
                                    ": alert sound unavailable: " + why + "\n");
  }
  return sound_ != nullptr;
}

void SoundModule::playFile(const std::string& hostPath, const std::string& description) {
  if (ready()) module_->playFile(sound_, hostPath.c_str(), description.c_str());
}

void SoundModule::playEvent(const std::string& eventId, const std::string& description) {
  if (ready()) module_->playEvent(sound_, eventId.c_str(), description.c_str());
}

}  // namespace host
