// Delivers status changes (or lock/unlock cycles) to the real plug-in through the host's
// classes, N times, and prints resident memory every tenth of the way, so growth shows.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "common/plist.h"
#include "host/classes/host_classes.h"
#include "host/scenario/scenario_runner.h"
#include "platform/runtime/loader.h"
#include "platform/uikit/presenter.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_view.h"

namespace {

long residentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Counts what the plug-in shows and closes each dialog at once.
struct CountingPresenter : platform::Presenter {
  long dialogs = 0, vibrations = 0, sounds = 0;
  void showAlert(UIAlertView* alert) override {
    ++dialogs;
    alert->dismiss();
  }
  void vibrate() override { ++vibrations; }
  void playSound(const std::string&) override { ++sounds; }
};

brimwell::Plist record(int current, bool connected, bool full) {
  brimwell::Plist d = brimwell::Plist::newDictionary();
  d.setItem("AppleRawCurrentCapacity", brimwell::Plist::integer(current));
  d.setItem("AppleRawMaxCapacity", brimwell::Plist::integer(1000));
  d.setItem("ExternalConnected", brimwell::Plist::boolean(connected));
  d.setItem("IsCharging", brimwell::Plist::boolean(connected && !full));
  d.setItem("FullyCharged", brimwell::Plist::boolean(full));
  d.setItem("InstantAmperage", brimwell::Plist::integer(900));
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "status") != 0 && std::strcmp(argv[1], "lock") != 0)) {
    std::fprintf(stderr,
                 "usage: growth_probe status|lock COUNT (SIM_DEVICE_ROOT holds the plug-in)\n");
    return 2;
  }
  const long count = std::atol(argv[2]);
  CountingPresenter presenter;
  platform::setPresenter(&presenter);
  registerHostClasses(HostListener{});
  if (platform::loadDynamicLibraries() != 1) {
    std::fprintf(stderr, "growth_probe: the plug-in did not load\n");
    return 1;
  }
  SpringBoard springBoard;
  const brimwell::Plist rounds[] = {record(400, false, false), record(400, true, false),
                                    record(600, true, false), record(1000, true, true)};
  std::printf("%s  done       RSS KiB\n", argv[1]);
  for (long i = 1; i <= count; ++i) {
    if (argv[1][0] == 's') {
      host::deliverStatus(springBoard, rounds[i % 4]);
    } else {
      auto* controller = new SBLockScreenBatteryChargingViewController(static_cast<int>(i));
      controllerView(controller);
      objc_msgSend<void>(controller, sel_registerName("dealloc"));
    }
    if (i % (count / 10 > 0 ? count / 10 : 1) == 0)
      std::printf("       %8ld  %8ld\n", i, residentKiB());
  }
  std::printf("dialogs %ld, vibrations %ld, sounds %ld, views alive %ld, dialogs alive %ld\n",
              presenter.dialogs, presenter.vibrations, presenter.sounds, UIView::liveViews(),
              UIAlertView::liveAlerts());
  platform::setPresenter(nullptr);
  return 0;
}
