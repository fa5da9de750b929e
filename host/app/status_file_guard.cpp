#include "host/app/status_file_guard.h"

#include "common/status_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/run_loop.h"

namespace host {

StatusFileGuard::StatusFileGuard(NSRunLoop& loop, StatusFileLock& lock,
                                 std::function<void()> restore,
                                 std::function<void(const std::string&)> ousted)
    : loop_(loop),
      lock_(lock),
      restore_(std::move(restore)),
      ousted_(std::move(ousted)),
      statusWatch_(
          platform::deviceFilePath(brimwell::kBatteryStatusPath), [this] { putBack(); },
          StatusFileWatcher::Events::gone),
      lockWatch_(
          platform::deviceFilePath(brimwell::kBatteryStatusPath) + ".lock", [this] { putBack(); },
          StatusFileWatcher::Events::gone) {
  for (StatusFileWatcher* watcher : {&statusWatch_, &lockWatch_}) {
    if (watcher->descriptor() >= 0) loop_.addReadSource(watcher->descriptor(), [this] { drain(); });
  }
}

StatusFileGuard::~StatusFileGuard() {
  for (StatusFileWatcher* watcher : {&statusWatch_, &lockWatch_}) {
    if (watcher->descriptor() >= 0) loop_.removeReadSource(watcher->descriptor());
  }
}

bool StatusFileGuard::holds() {
  if (lost_) return false;
  std::string why;
  if (lock_.keep(why)) return true;
  lost_ = true;
  ousted_(why);
  return false;
}

// Checked before the file is put back, and again after its folder was made again.
void StatusFileGuard::putBack() {
  if (!holds()) return;
  restore_();
  holds();
}

void StatusFileGuard::drain() {
  for (StatusFileWatcher* watcher : {&statusWatch_, &lockWatch_}) {
    watcher->onReadable();
    // A folder that went takes its watch with it: the one made again is watched.
    watcher->watchAgain();
  }
}

}  // namespace host
