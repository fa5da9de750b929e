#include "common/status_file_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr uint32_t kGone = IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr uint32_t kAny = kGone | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ATTRIB;

}  // namespace

StatusFileWatcher::StatusFileWatcher(const std::string& path, std::function<void()> changed,
                                     Events events)
    : changed_(std::move(changed)),
      mask_(events == Events::gone ? kGone : kAny),
      inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  const size_t slash = path.rfind('/');
  folder_ = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  name_ = slash == std::string::npos ? path : path.substr(slash + 1);
  addWatch();
}

void StatusFileWatcher::addWatch() {
  if (inotify_ < 0) return;
  watch_ = ::inotify_add_watch(inotify_, folder_.c_str(), mask_);
  struct stat info;
  watched_ = watch_ >= 0 && ::stat(folder_.c_str(), &info) == 0
                 ? std::make_pair(info.st_dev, info.st_ino)
                 : std::make_pair(dev_t{}, ino_t{});
}

StatusFileWatcher::~StatusFileWatcher() {
  if (inotify_ >= 0) ::close(inotify_);
}

void StatusFileWatcher::watchAgain() {
  if (inotify_ < 0) return;
  // A folder removed while some process still holds it open says nothing of its going until
  // that process lets go: one made again in its place is seen by its inode.
  struct stat info;
  if (watch_ >= 0 && (::stat(folder_.c_str(), &info) != 0 ||
                      std::make_pair(info.st_dev, info.st_ino) != watched_)) {
    ::inotify_rm_watch(inotify_, watch_);
    watch_ = -1;
  }
  if (watch_ >= 0) return;
  addWatch();
  if (watch_ >= 0) changed_();
}

void StatusFileWatcher::onReadable() {
  alignas(inotify_event) char buffer[8192];
  bool concerned = false;
  for (ssize_t n; (n = ::read(inotify_, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0 && name_ == event->name) concerned = true;
      // The folder itself went: its watch is gone with it. (The going of a watch that
      // watchAgain() replaced is not the present one's.)
      if (event->wd == watch_ && (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))) {
        if (event->mask & IN_MOVE_SELF) ::inotify_rm_watch(inotify_, watch_);
        if (event->mask & IN_IGNORED) watch_ = -1;
        concerned = true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (concerned) changed_();
}
