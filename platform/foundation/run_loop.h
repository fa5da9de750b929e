#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "platform/api.h"

class NSRunLoop;

// A timer on the main run loop. The run loop keeps it alive while it is scheduled.
class PLATFORM_API NSTimer : public std::enable_shared_from_this<NSTimer> {
 public:
  using Action = std::function<void()>;
  // Schedules on the main run loop; the first firing comes one interval from now.
  static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(double seconds, Action action,
                                                                 bool repeats);
  void invalidate();
  bool isValid() const { return valid_; }
  double timeInterval() const { return interval_; }

 private:
  friend class NSRunLoop;
  NSTimer(double seconds, Action action, bool repeats);
  double interval_;
  Action action_;
  bool repeats_;
  bool valid_ = true;
  std::chrono::steady_clock::time_point fireAt_;
};

// The main thread's run loop: timers, readable file descriptors and signals, and a sleep in
// poll() between them; nothing polls.
class PLATFORM_API NSRunLoop {
 public:
  using Callback = std::function<void()>;
  static NSRunLoop& mainRunLoop();

  void addTimer(std::shared_ptr<NSTimer> timer);
  // Calls back whenever fd is readable; onHangUp, if given, once when its other end is gone or
  // it reports an error (the source is dropped first, so onHangUp may add a new one).
  void addReadSource(int fd, Callback callback, Callback onHangUp = {});
  // As addReadSource, for a descriptor whose wishes change (a bus connection that has something
  // to write): events, asked before each wait, says which poll() events it waits for.
  void addPollSource(int fd, std::function<short()> events, Callback callback,
                     Callback onHangUp = {});
  void removeReadSource(int fd);
  // Calls back after a signal (SIGWINCH, say) interrupted the wait.
  void setInterruptHandler(Callback callback) { interruptHandler_ = std::move(callback); }
  // Calls back after every pass that did some work, before the loop sleeps again.
  void addObserver(Callback callback) { observers_.push_back(std::move(callback)); }
  // SIGINT, SIGTERM and SIGHUP end run() cleanly instead of killing the process.
  void stopOnTerminationSignals();

  // Runs until stop(); returns at once if there is nothing that could ever wake it.
  void run();
  void stop() { stopped_ = true; }

  // Wake-ups so far: every return from the wait, for whatever reason.
  unsigned long wakeups() const { return wakeups_; }

 private:
  NSRunLoop() = default;
  bool fireDueTimers();
  struct Source {
    int fd;
    Callback callback;
    Callback onHangUp;
    std::function<short()> events;  // none: readable
  };
  std::vector<std::shared_ptr<NSTimer>> timers_;
  std::vector<Source> sources_;
  std::vector<Callback> observers_;
  Callback interruptHandler_;
  int signalPipe_ = -1;
  bool stopped_ = false;
  unsigned long wakeups_ = 0;
};
