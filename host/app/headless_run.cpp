#include "host/app/headless_run.h"

#include <chrono>
#include <iostream>

#include "host/app/host_startup.h"
#include "host/app/source_driver.h"
#include "host/desktop/desktop_alerts.h"
#include "host/scenario/transcript.h"
#include "platform/foundation/run_loop.h"

namespace host {

namespace {
constexpr double kTick = 0.25;  // real seconds between looks at the source
}

int runHeadless(BatterySource& source, const HostOptions& options) {
  TranscriptPresenter transcript(std::cout, [&] { return clockPrefix(source.simulatedSeconds()); });
  HostPresenter presenter(transcript, options.desktopAlerts);
  startHost(presenter.get(), {});
  SourceDriver driver(source, options, [&](const brimwell::Plist& status) {
    if (options.logStatus) {
      std::cout << clockPrefix(source.simulatedSeconds()) << "status " << statusSummary(status)
                << '\n';
    }
  });

  auto done = [&] {
    return source.finished() ||
           (options.duration > 0 && source.simulatedSeconds() >= options.duration);
  };
  auto tick = [&](double realSeconds) {
    driver.tick(realSeconds);
    for (const std::string& notice : source.takeNotices()) {
      std::cerr << "springboard-sim: " << notice << '\n';
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

  std::cout << clockPrefix(source.simulatedSeconds()) << "delivered " << driver.delivered()
            << " status changes"
            << (driver.last() ? "; the last: " + statusSummary(*driver.last()) : std::string())
            << '\n';
  std::cout.flush();
  platform::setPresenter(nullptr);
  std::string why;
  if (!driver.finish(why)) {
    std::cerr << "springboard-sim: " << why << "\n";
    return 1;
  }
  return std::cout ? 0 : 1;
}

}  // namespace host
