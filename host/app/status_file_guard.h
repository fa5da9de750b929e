#pragma once

#include <functional>

#include "common/status_file_watcher.h"

class NSRunLoop;

namespace host {

// While the host runs in real time, a status file that something deletes or moves away is
// written again at once, not at the next reading, which may be ten minutes off. Only the file's
// going is watched, so the host's own writes and touches wake nothing.
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
  StatusFileWatcher watcher_;
};

}  // namespace host
