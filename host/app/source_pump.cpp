#include "host/app/source_pump.h"

#include "platform/foundation/run_loop.h"

namespace host {

SourcePump::SourcePump(BatterySource& source, std::function<void(double)> onLook)
    : source_(source), onLook_(std::move(onLook)), last_(std::chrono::steady_clock::now()) {
  if (source_.eventDescriptor() >= 0) {
    NSRunLoop::mainRunLoop().addReadSource(source_.eventDescriptor(), [this] { look(); });
  }
  arm();
}

SourcePump::~SourcePump() {
  if (timer_) timer_->invalidate();
  if (source_.eventDescriptor() >= 0) {
    NSRunLoop::mainRunLoop().removeReadSource(source_.eventDescriptor());
  }
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
      source_.secondsUntilNextLook(), [this] { look(); }, false);
}

}  // namespace host
