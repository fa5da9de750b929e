#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "host/sources/battery_source.h"

class NSTimer;

namespace host {

// Runs a source on the main run loop while the loop runs: looks at it when it asks to be looked
// at (after its secondsUntilNextLook, or at once when its event descriptor is readable) and
// sleeps in between, so a source read every 30 seconds wakes the host twice a minute.
class SourcePump {
 public:
  // onLook gets the real seconds since the last look; nextLook, when given, says when to look
  // next instead of the source (which then also stands for what the host waits for).
  SourcePump(BatterySource& source, std::function<void(double)> onLook,
             std::function<double()> nextLook = {});
  ~SourcePump();
  SourcePump(const SourcePump&) = delete;
  SourcePump& operator=(const SourcePump&) = delete;

  // Reads the source afresh at once, whatever its interval says (the machine sleeps or woke).
  void lookNow();

 private:
  void look();
  void arm();
  void watchEvents();
  void eventsFailed();

  BatterySource& source_;
  int events_ = -1;  // the source's event descriptor being watched
  std::function<void(double)> onLook_;
  std::function<double()> nextLook_;
  std::shared_ptr<NSTimer> timer_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace host
