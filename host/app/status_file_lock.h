#pragma once

#include <memory>
#include <string>

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
  ~StatusFileLock();
  StatusFileLock(const StatusFileLock&) = delete;
  StatusFileLock& operator=(const StatusFileLock&) = delete;

 private:
  explicit StatusFileLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace host
