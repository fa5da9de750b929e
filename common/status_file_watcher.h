#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "common/api.h"

// Tells when a file may have changed: inotify on the folder that holds it, so that a new file
// renamed into place counts as well as one written, touched or removed. A folder that is not
// there yet (no host has run) or goes away is watched again by watchAgain().
class COMMON_API StatusFileWatcher {
 public:
  // What to be told of: any change, or only the file (or its folder) going, as its writer
  // wants to know without waking at each of its own writes.
  enum class Events { any, gone };
  StatusFileWatcher(const std::string& path, std::function<void()> changed,
                    Events events = Events::any);
  ~StatusFileWatcher();
  StatusFileWatcher(const StatusFileWatcher&) = delete;
  StatusFileWatcher& operator=(const StatusFileWatcher&) = delete;

  // Readable when something happened; -1 when inotify cannot be had.
  int descriptor() const { return inotify_; }
  // Reads what happened and calls back when it concerns the file (or its folder went).
  void onReadable();
  // Whether the folder is watched now; if not, or if the folder was replaced, watchAgain()
  // tries (and calls back if it now is).
  bool watching() const { return watch_ >= 0; }
  void watchAgain();

 private:
  void addWatch();

  std::string folder_, name_;
  std::function<void()> changed_;
  uint32_t mask_;
  int inotify_ = -1;
  int watch_ = -1;
  std::pair<dev_t, ino_t> watched_;  // the folder watched
};
