#pragma once

#include <memory>
#include <string>
#include <utility>

namespace host {

// The one host that writes a status file. Two hosts on one file would give every alert twice,
// so only the host holding this lock runs: an exclusive flock on a file beside the status file
// that holds the holder's process id, kept while the object lives and released by the kernel
// however the process ends.
class StatusFileLock {
 public:
  // Takes the lock on the device's status file; null, with why naming the process that holds
  // it, when another host does.
  static std::unique_ptr<StatusFileLock> take(std::string& why);
  // Keeps holding it when its file went (a runtime folder emptied by hand): a new one is locked
  // once the folder is there again. False, with why, when another host took that one first.
  bool keep(std::string& why);
  ~StatusFileLock();
  StatusFileLock(const StatusFileLock&) = delete;
  StatusFileLock& operator=(const StatusFileLock&) = delete;

 private:
  StatusFileLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

}  // namespace host
