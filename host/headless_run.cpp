#include "host/headless_run.h"

#include <chrono>
#include <iostream>
#include <optional>

#include "host/desktop_alerts.h"
#include "host/host_classes.h"
#include "host/host_startup.h"
#include "host/scenario_runner.h"
#include "host/transcript.h"
#include "platform/foundation/run_loop.h"

namespace host {

namespace {
constexpr double kTick = 0.25;  // real seconds between looks at the source
}

int runHeadless(BatterySource& source, const HostOptions& options) {
  TranscriptPresenter transcript(std::cout, [&] { return clockPrefix(source.simulatedSeconds()); });
  const auto desktop = options.desktopAlerts ? DesktopAlerts::connectIfAvailable() : nullptr;
  std::optional<DesktopMirror> mirror;
  if (desktop) mirror.emplace(transcript, *desktop);
  startHost(mirror ? static_cast<platform::Presenter*>(&*mirror) : &transcript, {});
  SpringBoard springBoard;
  Recorder recorder;
  std::string lastSummary;

  auto done = [&] {
    return source.finished() ||
           (options.duration > 0 && source.simulatedSeconds() >= options.duration);
  };
  auto tick = [&](double realSeconds) {
    auto status = source.tick(realSeconds);
    for (const std::string& notice : source.takeNotices()) {
      std::cerr << "springboard-sim: " << notice << '\n';
    }
    if (status) {
      if (options.logStatus) {
        std::cout << clockPrefix(source.simulatedSeconds()) << "status " << statusSummary(*status)
                  << '\n';
      }
      recorder.add(source.simulatedSeconds(), *status);
      lastSummary = statusSummary(*status);
      deliverStatus(springBoard, *status);
    }
  };

  if (options.virtualTime) {
    while (!done()) tick(kTick);
  } else {
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    auto last = std::chrono::steady_clock::now();
    auto timer = NSTimer::scheduledTimerWithTimeInterval(
        kTick,
        [&] {
          const auto now = std::chrono::steady_clock::now();
          tick(std::chrono::duration<double>(now - last).count());
          last = now;
          if (done()) loop.stop();
        },
        true);
    loop.stopOnTerminationSignals();
    if (!done()) loop.run();
    timer->invalidate();
  }

  std::cout << clockPrefix(source.simulatedSeconds()) << "delivered " << recorder.size()
            << " status changes" << (lastSummary.empty() ? "" : "; the last: " + lastSummary)
            << '\n';
  std::cout.flush();
  platform::setPresenter(nullptr);
  if (!options.record.empty() && !recorder.write(options.record)) {
    std::cerr << "springboard-sim: cannot write " << options.record << "\n";
    return 1;
  }
  return std::cout ? 0 : 1;
}

}  // namespace host
