#include "host/app/headless_run.h"

#include <functional>
#include <optional>

#include "common/text_out.h"
#include "host/app/given_alerts.h"
#include "host/app/history_recorder.h"
#include "host/app/host_app.h"
#include "host/app/host_startup.h"
#include "host/app/laptop_alert_lines.h"
#include "host/app/laptop_devices.h"
#include "host/app/low_battery_watch.h"
#include "host/app/sleep_watch.h"
#include "host/app/source_driver.h"
#include "host/app/source_pump.h"
#include "host/app/status_file_guard.h"
#include "host/bus/bus_connection.h"
#include "host/bus/logind.h"
#include "host/desktop/desktop_alerts.h"
#include "host/scenario/transcript.h"
#include "platform/foundation/run_loop.h"

namespace host {
namespace {

// One line, in one write, at once: headless output goes to a file or the journal, where a
// buffered line would wait for the process to end and a line in pieces could be split.
void say(std::FILE* out, const std::string& line) {
  brimwell::writeLine(out, line + '\n');
}

// Waits on the run loop between readings until done or a termination signal; false when another
// host took the lock after its file was removed.
bool runInRealTime(BatterySource& source, SourceDriver& driver, StatusFileLock& lock,
                   SleepWatch* sleeps, const std::function<void(double)>& tick,
                   const std::function<bool()>& done) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  StatusFileGuard guard(
      loop, lock, [&] { driver.restoreStatusFile(); },
      [&](const std::string& why) {
        say(stderr, noticePrefix() + why);
        loop.stop();
      });
  SourcePump pump(
      source,
      [&](double realSeconds) {
        if (!guard.holds()) return;
        tick(realSeconds);
        guard.drain();
        if (done()) loop.stop();
      },
      [&] { return driver.secondsUntilNextLook(); });
  if (sleeps) sleeps->follow(&source, &pump);
  loop.stopOnTerminationSignals();
  if (!done()) loop.run();
  if (sleeps) sleeps->follow(nullptr, nullptr);
  return guard.holds();
}

}  // namespace

int runHeadless(BatterySource& source, const HostOptions& options, StatusFileLock& lock) {
  const auto clock = [&] { return clockPrefix(source.simulatedSeconds()); };
  TranscriptPresenter transcript(stdout, clock);
  LaptopAlertLines laptop(stdout, clock);
  // Headless, desktop alerts are there only when asked for: their absence is said.
  HostPresenter presenter(
      options.laptopService ? static_cast<platform::Presenter&>(laptop) : transcript,
      options.desktopAlerts, true, !options.virtualTime);
  if (!presenter.notice().empty()) say(stderr, noticePrefix() + presenter.notice());
  GivenAlerts given(*presenter.get(), !options.sysfs.empty());
  startHost(&given, {});
  const auto line = [&](const std::string& text) {
    say(stdout, clockPrefix(source.simulatedSeconds()) + text);
  };
  const auto notice = [](const std::string& text) { say(stderr, noticePrefix() + text); };
  WarningOutputs warnings{line, notice, nullptr, presenter.desktop()};
  warnings.runLoop = !options.virtualTime;
  // The machine's own battery, read in real time: its sleeps are followed.
  std::optional<SleepWatch> sleeps;
  if (!options.sysfs.empty() && !options.virtualTime) {
    sleeps.emplace([](const std::string& line) { say(stderr, noticePrefix() + line); });
    warnings.logind = sleeps->logind();
  }
  LowBatteryWatch watch(!options.sysfs.empty(), std::move(warnings));
  HistoryRecorder history(source, options,
                          [](const std::string& line) { say(stderr, noticePrefix() + line); });
  LaptopDevices laptopDevices(options, source, {line, notice, presenter.desktop()});
  laptopDevices.follow(sleeps ? &*sleeps : nullptr);
  SourceDriver driver(
      source, options,
      [&](const brimwell::Plist& status) {
        given.onStatus(status);
        history.onStatus(status, source.simulatedSeconds());
        if (options.logStatus) {
          say(stdout, clockPrefix(source.simulatedSeconds()) + "status " + statusSummary(status));
        }
      },
      &watch);

  auto done = [&] {
    return source.finished() ||
           (options.duration > 0 && source.simulatedSeconds() >= options.duration);
  };
  auto tick = [&](double realSeconds) {
    driver.tick(realSeconds);
    laptopDevices.afterTick();
    if (const auto crossing = source.takeSleep()) {
      reportSleep(*crossing, source.simulatedSeconds(), history, presenter.desktop(),
                  sleeps ? sleeps->drainAlert() : 0, [&](const std::string& line) {
                    say(stdout, clockPrefix(source.simulatedSeconds()) + line);
                  });
    }
    for (const std::string& notice : source.takeNotices()) say(stderr, noticePrefix() + notice);
    for (const std::string& notice : driver.takeNotices()) {
      say(stderr, noticePrefix() + notice);
    }
  };

  bool ousted = false;  // another host took the lock after its file was removed
  if (options.virtualTime) {
    while (!done()) tick(driver.secondsUntilNextLook());
  } else {
    ousted = !runInRealTime(source, driver, lock, sleeps ? &*sleeps : nullptr, tick, done);
  }

  const std::string lost = history.stop(source.simulatedSeconds());
  if (!lost.empty()) say(stderr, noticePrefix() + lost);
  say(stdout, clockPrefix(source.simulatedSeconds()) + "delivered " +
                  std::to_string(driver.delivered()) +
                  (driver.delivered() == 1 ? " status change" : " status changes") +
                  (driver.last() ? "; the last: " + statusSummary(*driver.last()) : ""));
  platform::setPresenter(nullptr);
  std::string why;
  if (!driver.finish(why)) {
    say(stderr, noticePrefix() + why);
    return 1;
  }
  return standardOutputWritten() && !ousted ? 0 : 1;
}

}  // namespace host
