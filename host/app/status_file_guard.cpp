#include "host/app/status_file_guard.h"

#include "common/status_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/run_loop.h"

namespace host {

StatusFileGuard::StatusFileGuard(NSRunLoop& loop, std::function<void()> restore)
    : loop_(loop),
      watcher_(platform::deviceFilePath(brimwell::kBatteryStatusPath), std::move(restore),
               StatusFileWatcher::Events::gone) {
  if (watcher_.descriptor() >= 0) loop_.addReadSource(watcher_.descriptor(), [this] { drain(); });
}

StatusFileGuard::~StatusFileGuard() {
  if (watcher_.descriptor() >= 0) loop_.removeReadSource(watcher_.descriptor());
}

void StatusFileGuard::drain() {
  watcher_.onReadable();
  // A folder that went takes its watch with it: the one made again is watched.
  watcher_.watchAgain();
}

}  // namespace host
