#include "host/app/interactive_run.h"

#include <curses.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>

#include "common/text_out.h"
#include "host/app/given_alerts.h"
#include "host/app/history_recorder.h"
#include "host/app/host_startup.h"
#include "host/app/laptop_devices.h"
#include "host/app/laptop_lines.h"
#include "host/app/low_battery_watch.h"
#include "host/app/screen_wake.h"
#include "host/app/sleep_watch.h"
#include "host/app/source_driver.h"
#include "host/app/source_pump.h"
#include "host/app/status_file_guard.h"
#include "host/bus/bus_connection.h"
#include "host/bus/logind.h"
#include "host/classes/host_classes.h"
#include "host/desktop/desktop_alerts.h"
#include "host/screen/host_screen.h"
#include "host/screen/status_bar.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_device.h"
#include "terminal/terminal_text.h"

namespace host {
namespace {

constexpr double kMaxSpeed = 7680;

// The lock screen's charging view: at most one controller, made and destroyed by the host.
class LockScreen {
 public:
  ~LockScreen() { unlock(); }
  void lock() {
    unlock();
    controller_ = new SBLockScreenBatteryChargingViewController(next_++);
    controllerView(controller_);
  }
  void unlock() {
    if (!controller_) return;
    objc_msgSend<void>(controller_, sel_registerName("dealloc"));
    controller_ = nullptr;
  }
  bool locked() const { return controller_ != nullptr; }
  const UIView* root() const { return controller_ ? controller_->rootView : nullptr; }

 private:
  SBLockScreenBatteryChargingViewController* controller_ = nullptr;
  int next_ = 1;
};

// One interactive session: the source run into the host, the lock screen, the notices, and
// what the keys do to them.
class InteractiveSession {
 public:
  InteractiveSession(BatterySource& source, const HostOptions& options)
      : source_(source),
        options_(options),
        desktop_(presenter_, true),  // on a desktop, alerts also arrive as its own programs' do
        given_(*desktop_.get(), !options.sysfs.empty()),
        started_(std::chrono::steady_clock::now()) {
    startHost(&given_, {});
    WarningOutputs warnings;
    warnings.line = [this](const std::string& line) { notices_.post(line, now()); };
    warnings.notice = warnings.line;
    warnings.screen = &presenter_;
    warnings.desktop = desktop_.desktop();
    warnings.runLoop = true;
    if (!options_.sysfs.empty()) {
      sleeps_.emplace([this](const std::string& line) { notices_.post(line, now()); });
      warnings.logind = sleeps_->logind();
    }
    watch_.emplace(!options_.sysfs.empty(), std::move(warnings));
    history_.emplace(source_, options_,
                     [this](const std::string& line) { notices_.post(line, now()); });
    driver_.emplace(
        source_, options_,
        [this](const brimwell::Plist& status) {
          given_.onStatus(status);
          history_->onStatus(status, source_.simulatedSeconds());
        },
        &*watch_);
    const auto post = [this](const std::string& line) { notices_.post(line, now()); };
    devices_.emplace(options_, source_, DeviceAlertOutputs{post, post, desktop_.desktop()});
    devices_->follow(sleeps_ ? &*sleeps_ : nullptr);
    if (!desktop_.notice().empty()) notices_.post(desktop_.notice(), now());
    desktop_.onNotice([this](const std::string& line) { notices_.post(line, now()); });
  }
  ~InteractiveSession() {
    lockScreen_.unlock();
    platform::setPresenter(nullptr);
  }
  InteractiveSession(const InteractiveSession&) = delete;
  InteractiveSession& operator=(const InteractiveSession&) = delete;

  ScreenPresenter& presenter() { return presenter_; }
  bool finished() const {
    return options_.duration > 0 && source_.simulatedSeconds() >= options_.duration;
  }
  // The screen is gone by now: what the history lost is returned to be said on stderr.
  bool finish(std::string& why, std::string& lost) {
    lost = history_->stop(source_.simulatedSeconds());
    return driver_->finish(why);
  }
  double secondsUntilNextLook() const { return driver_->secondsUntilNextLook(); }
  // What reads the battery at once as the machine sleeps and wakes (null: stop).
  void followSleeps(SourcePump* pump) {
    if (sleeps_) sleeps_->follow(pump ? &source_ : nullptr, pump);
  }
  void restoreStatusFile() { driver_->restoreStatusFile(); }

  void tick(double realSeconds) {
    const brimwell::Plist* status = driver_->tick(realSeconds);
    devices_->afterTick();
    for (std::string& notice : source_.takeNotices()) notices_.post(std::move(notice), now());
    for (std::string& notice : driver_->takeNotices()) notices_.post(std::move(notice), now());
    if (const auto crossing = source_.takeSleep()) {
      reportSleep(*crossing, source_.simulatedSeconds(), *history_, desktop_.desktop(),
                  sleeps_ ? sleeps_->drainAlert() : 0,
                  [this](const std::string& line) { notices_.post(line, now()); });
    }
    if (!status) return;
    notices_.statusDelivered();
    // The phone starts locked; a waking screen reloads the charging view if it is locked. A
    // laptop has no lock screen: the phone's charging line would say what is not so.
    const bool first = !firstStatusSeen_;
    firstStatusSeen_ = true;
    if (!laptop() && wake_.wakesFor(*status) && (first || lockScreen_.locked())) lockScreen_.lock();
  }

  // What a key does; false when it ends the session.
  bool handleKey(int key) {
    switch (key) {
      case 'q':
      case 'Q':
        return false;
      case 'c':
      case 'C':
        if (source_.hasCharger()) source_.setChargerConnected(!source_.chargerConnected());
        break;
      case 'l':
      case 'L':
        if (laptop()) break;
        if (lockScreen_.locked()) {
          lockScreen_.unlock();
        } else {
          lockScreen_.lock();
        }
        break;
      case '+':
      case '=':
        if (source_.hasSpeed()) source_.setSpeed(std::min(source_.speed() * 2, kMaxSpeed));
        break;
      case '-':
      case '_':
        if (source_.hasSpeed()) source_.setSpeed(std::max(source_.speed() / 2, 1.0));
        break;
      case '\n':
      case '\r':
      case KEY_ENTER:
        presenter_.closeTopDialog();
        break;
      default:
        break;
    }
    return true;
  }

  HostScreenState screenState() const {
    HostScreenState state;
    const auto& last = driver_->last();
    state.status = last ? statusSummary(*last) : "waiting for the first status change";
    state.notice = notices_.shown(now());
    state.clock = clockPrefix(source_.simulatedSeconds());
    state.speed = source_.speed();
    state.hasSpeed = source_.hasSpeed();
    state.source = source_.description();
    state.hasCharger = source_.hasCharger();
    state.charger = source_.chargerConnected();
    state.locked = lockScreen_.locked();
    const UIScreen* device = UIScreen::mainScreen();
    state.screen = device ? device->bounds().size : CGSize{};
    const UIDevice* idiom = UIDevice::currentDevice();
    state.pad = idiom->respondsToSelector(sel_registerName("userInterfaceIdiom")) &&
                idiom->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
    state.lockScreenRoot = lockScreen_.root();
    state.laptop = laptop();
    if (state.laptop && last) state.laptopLines = laptopLines(*last);
    return state;
  }

 private:
  // The machine's own battery, or a recording of one.
  bool laptop() const {
    return !options_.sysfs.empty() || (driver_->last() && isLaptopStatus(*driver_->last()));
  }

  double now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  }

  BatterySource& source_;
  const HostOptions& options_;
  ScreenPresenter presenter_;
  HostPresenter desktop_;
  GivenAlerts given_;
  std::optional<SleepWatch> sleeps_;  // before the watch, which may use its logind
  std::optional<LowBatteryWatch> watch_;
  std::optional<HistoryRecorder> history_;
  std::optional<SourceDriver> driver_;    // made once the host's classes exist
  std::optional<LaptopDevices> devices_;  // a laptop's other batteries, and their warnings
  LockScreen lockScreen_;
  NoticeBoard notices_;
  ScreenWake wake_;
  bool firstStatusSeen_ = false;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace

int runInteractive(BatterySource& source, const HostOptions& options, StatusFileLock& lock) {
  terminal::useUtf8Characters();
  InteractiveSession session(source, options);
  std::string ousted;  // why another host has the lock now, said once the screen is gone
  {
    HostScreen screen;
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    StatusFileGuard guard(
        loop, lock, [&] { session.restoreStatusFile(); },
        [&](const std::string& why) {
          ousted = why;
          loop.stop();
        });
    SourcePump pump(
        source,
        [&](double realSeconds) {
          if (!guard.holds()) return;
          session.tick(realSeconds);
          guard.drain();
          if (session.finished()) loop.stop();
        },
        [&] { return session.secondsUntilNextLook(); });
    auto handleKeys = [&] {
      for (int key = screen.nextKey(); key != -1; key = screen.nextKey()) {
        if (!session.handleKey(key)) return loop.stop();
      }
    };
    loop.addReadSource(STDIN_FILENO, handleKeys, [&] { loop.stop(); });
    loop.setInterruptHandler(handleKeys);  // a resize arrives as a key
    // The source may sleep for half a minute: an indicator that goes out meanwhile wakes the
    // loop to draw the screen without it.
    std::shared_ptr<NSTimer> redraw;
    loop.addObserver([&] {
      screen.draw(session.screenState(), session.presenter());
      const auto now = ScreenPresenter::Clock::now();
      if (const auto end = session.presenter().nextIndicatorEnd(now)) {
        if (redraw) redraw->invalidate();
        redraw = NSTimer::scheduledTimerWithTimeInterval(
            std::chrono::duration<double>(*end - now).count(), [] {}, false);
      }
    });
    session.followSleeps(&pump);
    loop.stopOnTerminationSignals();
    loop.run();
    session.followSleeps(nullptr);
  }
  std::string why, lost;
  const bool finished = session.finish(why, lost);
  if (!lost.empty()) brimwell::writeText(stderr, "springboard-sim: " + lost + "\n");
  if (!ousted.empty()) brimwell::writeText(stderr, "springboard-sim: " + ousted + "\n");
  if (!finished) {
    brimwell::writeText(stderr, "springboard-sim: " + why + "\n");
    return 1;
  }
  return ousted.empty() ? 0 : 1;
}

}  // namespace host
