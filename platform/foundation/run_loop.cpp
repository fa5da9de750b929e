#include "platform/foundation/run_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>

namespace {

int gSignalWriteEnd = -1;

void onTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  if (gSignalWriteEnd >= 0) (void)!write(gSignalWriteEnd, &byte, 1);
  errno = saved;
}

std::chrono::steady_clock::duration toDuration(double seconds) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
}

}  // namespace

NSTimer::NSTimer(double seconds, Action action, bool repeats)
    : interval_(seconds > 0 ? seconds : 0.0001), action_(std::move(action)), repeats_(repeats) {
  fireAt_ = std::chrono::steady_clock::now() + toDuration(interval_);
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double seconds, Action action,
                                                                 bool repeats) {
  std::shared_ptr<NSTimer> timer(new NSTimer(seconds, std::move(action), repeats));
  NSRunLoop::mainRunLoop().addTimer(timer);
  return timer;
}

void NSTimer::invalidate() {
  valid_ = false;
}

NSRunLoop& NSRunLoop::mainRunLoop() {
  static NSRunLoop loop;
  return loop;
}

void NSRunLoop::addTimer(std::shared_ptr<NSTimer> timer) {
  timers_.push_back(std::move(timer));
}

void NSRunLoop::addReadSource(int fd, Callback callback, Callback onHangUp) {
  sources_.push_back(Source{fd, std::move(callback), std::move(onHangUp), {}});
}

void NSRunLoop::addPollSource(int fd, std::function<short()> events, Callback callback,
                              Callback onHangUp) {
  sources_.push_back(Source{fd, std::move(callback), std::move(onHangUp), std::move(events)});
}

void NSRunLoop::removeReadSource(int fd) {
  sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                [fd](const Source& s) { return s.fd == fd; }),
                 sources_.end());
}

void NSRunLoop::stopOnTerminationSignals() {
  if (signalPipe_ >= 0) return;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  signalPipe_ = ends[0];
  gSignalWriteEnd = ends[1];
  struct sigaction action = {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool NSRunLoop::fireDueTimers() {
  const auto now = std::chrono::steady_clock::now();
  bool fired = false;
  // Copy: an action may schedule or invalidate timers.
  const auto snapshot = timers_;
  for (const auto& timer : snapshot) {
    if (!timer->valid_ || timer->fireAt_ > now) continue;
    if (timer->repeats_) {
      // Keep the cadence; skip firings missed while the process was stopped.
      const auto step = toDuration(timer->interval_);
      while (timer->fireAt_ <= now) timer->fireAt_ += step;
    } else {
      timer->valid_ = false;
    }
    fired = true;
    timer->action_();
  }
  timers_.erase(
      std::remove_if(timers_.begin(), timers_.end(), [](const auto& t) { return !t->valid_; }),
      timers_.end());
  return fired;
}

void NSRunLoop::run() {
  stopped_ = false;
  while (!stopped_) {
    if (timers_.empty() && sources_.empty() && signalPipe_ < 0) return;

    int timeoutMs = -1;
    if (!timers_.empty()) {
      auto next = timers_.front()->fireAt_;
      for (const auto& t : timers_) next = std::min(next, t->fireAt_);
      const auto wait = next - std::chrono::steady_clock::now();
      // Round up so that the loop never wakes a moment early and spins.
      const double ms = std::chrono::duration<double, std::milli>(wait).count();
      timeoutMs = ms <= 0 ? 0 : static_cast<int>(std::min(std::ceil(ms), 2.0e9));
    }

    std::vector<pollfd> fds;
    for (const auto& s : sources_) {
      fds.push_back(pollfd{s.fd, s.events ? s.events() : static_cast<short>(POLLIN), 0});
    }
    if (signalPipe_ >= 0) fds.push_back(pollfd{signalPipe_, POLLIN, 0});

    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    ++wakeups_;
    bool worked = false;
    if (ready < 0 && errno == EINTR) {
      if (interruptHandler_) interruptHandler_();
      worked = true;
    }
    if (ready > 0) {
      if (signalPipe_ >= 0 && (fds.back().revents & POLLIN)) {
        char drain[64];
        while (read(signalPipe_, drain, sizeof drain) > 0) {
        }
        stopped_ = true;
        break;
      }
      const auto sources = sources_;
      for (size_t i = 0; i < sources.size(); ++i) {
        const short events = fds[i].revents;
        if (events & (fds[i].events | POLLHUP | POLLERR | POLLNVAL)) {
          sources[i].callback();
          worked = true;
        }
        // A hung-up or closed descriptor would report itself forever: stop watching it, before
        // onHangUp, which may watch a new descriptor under the same number.
        if (events & (POLLHUP | POLLERR | POLLNVAL)) {
          removeReadSource(sources[i].fd);
          if (sources[i].onHangUp) sources[i].onHangUp();
        }
      }
    }
    worked = fireDueTimers() || worked;
    if (worked) {
      for (const auto& observer : observers_) observer();
    }
  }
}
