#include "host/app/headless_run.h"

#include <iostream>

#include "host/app/host_startup.h"
#include "host/app/source_driver.h"
#include "host/app/source_pump.h"
#include "host/desktop/desktop_alerts.h"
#include "host/scenario/transcript.h"
#include "platform/foundation/run_loop.h"

namespace host {

int runHeadless(BatterySource& source, const HostOptions& options) {
  TranscriptPresenter transcript(std::cout, [&] { return clockPrefix(source.simulatedSeconds()); });
  HostPresenter presenter(transcript, options.desktopAlerts);
  if (!presenter.notice().empty()) std::cerr << "springboard-sim: " << presenter.notice() << '\n';
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
    while (!done()) tick(source.secondsUntilNextLook());
  } else {
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    SourcePump pump(source, [&](double realSeconds) {
      tick(realSeconds);
      if (done()) loop.stop();
    });
    loop.stopOnTerminationSignals();
    if (!done()) loop.run();
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
