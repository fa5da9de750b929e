#include "host/app/interactive_run.h"

#include <curses.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>

#include "host/app/host_startup.h"
#include "host/app/source_driver.h"
#include "host/classes/host_classes.h"
#include "host/desktop/desktop_alerts.h"
#include "host/screen/host_screen.h"
#include "host/screen/status_bar.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_device.h"
#include "terminal/terminal_text.h"

namespace host {
namespace {

constexpr double kTick = 0.25;
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

}  // namespace

int runInteractive(BatterySource& source, const HostOptions& options) {
  terminal::useUtf8Characters();
  ScreenPresenter presenter;
  // On a desktop, the alerts also arrive the way its other programs' do.
  HostPresenter hostPresenter(presenter, true);
  startHost(hostPresenter.get(), {});
  SourceDriver driver(source, options);
  LockScreen lockScreen;
  NoticeBoard notices;
  const auto started = std::chrono::steady_clock::now();
  const auto realSeconds = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  };
  // The phone starts locked; its charging view appears with the first status change, and
  // again whenever the charger is plugged in or out, as a phone's screen wakes for that.
  bool relockAfterStatus = true;

  int status = 0;
  {
    HostScreen screen;
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    auto lastTick = std::chrono::steady_clock::now();
    auto timer = NSTimer::scheduledTimerWithTimeInterval(
        kTick,
        [&] {
          const auto now = std::chrono::steady_clock::now();
          const bool delivered =
              driver.tick(std::chrono::duration<double>(now - lastTick).count()) != nullptr;
          lastTick = now;
          for (std::string& notice : source.takeNotices())
            notices.post(std::move(notice), realSeconds());
          if (delivered) notices.statusDelivered();
          if (delivered && relockAfterStatus) {
            lockScreen.lock();
            relockAfterStatus = false;
          }
          if (options.duration > 0 && source.simulatedSeconds() >= options.duration) loop.stop();
        },
        true);

    auto handleKeys = [&] {
      for (int key = screen.nextKey(); key != -1; key = screen.nextKey()) {
        switch (key) {
          case 'q':
          case 'Q':
            loop.stop();
            return;
          case 'c':
          case 'C':
            if (source.hasCharger()) {
              source.setChargerConnected(!source.chargerConnected());
              relockAfterStatus = lockScreen.locked();
            }
            break;
          case 'l':
          case 'L':
            if (lockScreen.locked()) {
              lockScreen.unlock();
            } else {
              lockScreen.lock();
            }
            break;
          case '+':
          case '=':
            source.setSpeed(std::min(source.speed() * 2, kMaxSpeed));
            break;
          case '-':
          case '_':
            source.setSpeed(std::max(source.speed() / 2, 1.0));
            break;
          case '\n':
          case '\r':
          case KEY_ENTER:
            presenter.closeTopDialog();
            break;
          default:
            break;
        }
      }
    };
    loop.addReadSource(STDIN_FILENO, handleKeys, [&] { loop.stop(); });
    loop.setInterruptHandler(handleKeys);  // a resize arrives as a key
    loop.addObserver([&] {
      HostScreenState state;
      const auto& last = driver.last();
      state.status = last ? statusSummary(*last) : "waiting for the first status change";
      state.notice = notices.shown(realSeconds());
      state.clock = clockPrefix(source.simulatedSeconds());
      state.speed = source.speed();
      state.hasCharger = source.hasCharger();
      state.charger = source.chargerConnected();
      state.locked = lockScreen.locked();
      const UIScreen* device = UIScreen::mainScreen();
      state.screen = device ? device->bounds().size : CGSize{};
      const UIDevice* idiom = UIDevice::currentDevice();
      state.pad = idiom->respondsToSelector(sel_registerName("userInterfaceIdiom")) &&
                  idiom->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
      state.lockScreenRoot = lockScreen.root();
      screen.draw(state, presenter);
    });
    loop.stopOnTerminationSignals();
    loop.run();
    timer->invalidate();
  }
  lockScreen.unlock();
  platform::setPresenter(nullptr);
  std::string why;
  if (!driver.finish(why)) {
    std::cerr << "springboard-sim: " << why << "\n";
    status = 1;
  }
  return status;
}

}  // namespace host
