#pragma once

#include <functional>

#include "common/status_file_watcher.h"

class NSRunLoop;

namespace host {

// While the host runs in real time, a status file (or the lock file beside it) that something
// deletes or moves away is put back at once, not at the next reading, which may be ten minutes
// off. Only the files' going is watched, so the host's own writes and touches wake nothing.
class StatusFileGuard {
 public:
  StatusFileGuard(NSRunLoop& loop, std::function<void()> restore);
  ~StatusFileGuard();
  StatusFileGuard(const StatusFileGuard&) = delete;
  StatusFileGuard& operator=(const StatusFileGuard&) = delete;

  // Reads what the host's own writes left queued (a new file renamed into place leaves the
  // name it had), so that it does not wake the loop again; called after each reading.
  void drain();

 private:
  NSRunLoop& loop_;
  StatusFileWatcher status_, lock_;
};

}  // namespace host
