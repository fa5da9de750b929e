#include "host/app/status_file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/status_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/simulated_device.h"

namespace host {
namespace {

// The holder's process id as it wrote it; 0 when it has not yet.
long holderOf(int fd) {
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

std::string heldBy(long holder) {
  return "another host" + (holder > 0 ? " (pid " + std::to_string(holder) + ")" : "");
}

// Names the holder in its lock file; without the id the lock still holds, and a second host
// then names no process.
void nameHolder(int fd) {
  const std::string pid = std::to_string(::getpid()) + "\n";
  const bool named = ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) > 0;
  (void)named;
}

}  // namespace

std::unique_ptr<StatusFileLock> StatusFileLock::take(std::string& why) {
  const std::string status = platform::deviceFilePath(brimwell::kBatteryStatusPath);
  const std::string path = status + ".lock";
  // The file stays when the lock is released: removing it would let two hosts lock two files.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    why = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    const long holder = error == EWOULDBLOCK ? holderOf(fd) : 0;
    ::close(fd);
    if (error != EWOULDBLOCK) {
      why = "cannot lock " + path + ": " + std::strerror(error);
    } else {
      // Only the user's own status file is the service's.
      why = heldBy(holder) + " already writes " + status + ": stop it first" +
            (platform::onSimulatedDevice() ? "" : " (the service: systemctl --user stop brimwell)");
    }
    return nullptr;
  }
  nameHolder(fd);
  return std::unique_ptr<StatusFileLock>(new StatusFileLock(fd, path));
}

bool StatusFileLock::keep(std::string& why) {
  struct stat held, named;
  if (::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
      held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
    return true;
  }
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return true;  // no folder yet: locked again once it is made
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    why = heldBy(holderOf(fd)) + " took " + path_ + " after it was removed: this host ends";
    ::close(fd);
    return false;
  }
  nameHolder(fd);
  ::close(fd_);
  fd_ = fd;
  return true;
}

StatusFileLock::~StatusFileLock() {
  ::close(fd_);
}

}  // namespace host
