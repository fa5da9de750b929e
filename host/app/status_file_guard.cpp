#include "host/app/status_file_guard.h"

#include "common/status_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/run_loop.h"

namespace host {

StatusFileGuard::StatusFileGuard(NSRunLoop& loop, std::function<void()> restore)
    : loop_(loop),
      status_(platform::deviceFilePath(brimwell::kBatteryStatusPath), restore,
              StatusFileWatcher::Events::gone),
      lock_(platform::deviceFilePath(brimwell::kBatteryStatusPath) + ".lock", restore,
            StatusFileWatcher::Events::gone) {
  for (StatusFileWatcher* watcher : {&status_, &lock_}) {
    if (watcher->descriptor() >= 0) loop_.addReadSource(watcher->descriptor(), [this] { drain(); });
  }
}

StatusFileGuard::~StatusFileGuard() {
  for (StatusFileWatcher* watcher : {&status_, &lock_}) {
    if (watcher->descriptor() >= 0) loop_.removeReadSource(watcher->descriptor());
  }
}

void StatusFileGuard::drain() {
  for (StatusFileWatcher* watcher : {&status_, &lock_}) {
    watcher->onReadable();
    // A folder that went takes its watch with it: the one made again is watched.
    watcher->watchAgain();
  }
}

}  // namespace host
