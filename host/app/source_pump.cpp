#include "host/app/source_pump.h"

#include "platform/foundation/run_loop.h"

namespace host {

SourcePump::SourcePump(BatterySource& source, std::function<void(double)> onLook,
                       std::function<double()> nextLook)
    : source_(source),
      onLook_(std::move(onLook)),
      nextLook_(std::move(nextLook)),
      last_(std::chrono::steady_clock::now()) {
  watchEvents();
  arm();
}

SourcePump::~SourcePump() {
  if (timer_) timer_->invalidate();
  if (events_ >= 0) NSRunLoop::mainRunLoop().removeReadSource(events_);
}

void SourcePump::watchEvents() {
  events_ = source_.eventDescriptor();
  if (events_ < 0) return;
  NSRunLoop::mainRunLoop().addReadSource(
      events_, [this] { look(); }, [this] { eventsFailed(); });
}

// The run loop has dropped a descriptor that reported an error; a kernel-event socket does that
// when its buffer overran, and the events in it are lost. A fresh one, and a look at once.
void SourcePump::eventsFailed() {
  events_ = -1;
  source_.reopenEvents();
  watchEvents();
  look();
}

void SourcePump::lookNow() {
  source_.lookNow();
  look();
}

void SourcePump::look() {
  const auto now = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(now - last_).count();
  last_ = now;
  onLook_(elapsed);
  arm();
}

void SourcePump::arm() {
  if (timer_) timer_->invalidate();
  timer_ = NSTimer::scheduledTimerWithTimeInterval(
      nextLook_ ? nextLook_() : source_.secondsUntilNextLook(), [this] { look(); }, false);
}

}  // namespace host
