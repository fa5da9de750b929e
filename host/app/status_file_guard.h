#pragma once

#include <functional>
#include <string>

#include "common/status_file_watcher.h"
#include "host/app/status_file_lock.h"

class NSRunLoop;

namespace host {

// While the host runs in real time, a status file (or the lock file beside it) that something
// deletes or moves away is put back at once, not at the next reading, which may be ten minutes
// off. Only the files' going is watched, so the host's own writes and touches wake nothing.
class StatusFileGuard {
 public:
  // restore puts the status file back; ousted hears once, with why, that another host took the
  // lock after its file was removed (the run then ends).
  StatusFileGuard(NSRunLoop& loop, StatusFileLock& lock, std::function<void()> restore,
                  std::function<void(const std::string&)> ousted);
  ~StatusFileGuard();
  StatusFileGuard(const StatusFileGuard&) = delete;
  StatusFileGuard& operator=(const StatusFileGuard&) = delete;

  // Whether this host still holds the lock (taking it again on a new file if its file went);
  // asked before each reading is delivered, so a host that lost it writes nothing.
  bool holds();
  // Reads what the host's own writes left queued (a new file renamed into place leaves the
  // name it had), so that it does not wake the loop again; called after each reading.
  void drain();

 private:
  void putBack();

  NSRunLoop& loop_;
  StatusFileLock& lock_;
  std::function<void()> restore_;
  std::function<void(const std::string&)> ousted_;
  bool lost_ = false;
  StatusFileWatcher statusWatch_, lockWatch_;
};

}  // namespace host
