#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/plist.h"
#include "host/low_battery/command_action.h"
#include "host/low_battery/low_battery_policy.h"
#include "platform/uikit/presenter.h"

class UIAlertView;

namespace host {

class DesktopAlerts;
namespace bus {
class Connection;
class Logind;
}  // namespace bus

// Where the low-battery warnings go.
struct WarningOutputs {
  std::function<void(const std::string&)> line;    // each warning, the caller puts the clock
  std::function<void(const std::string&)> notice;  // what went wrong (stderr, headless)
  platform::Presenter* screen = nullptr;           // on the host's screen: a dialog
  DesktopAlerts* desktop = nullptr;                // and on the desktop, where there is one
  bool runLoop = false;  // a command's end is followed on the main run loop
  // The host's logind, where it holds one; else the watch reaches logind itself when it acts.
  bus::Logind* logind = nullptr;
};

// The low-battery warnings and the last action, applied: reads the settings and the status at
// every status change, runs the policy and carries out what it decides. On for the machine's
// own battery; for the simulated phone and recordings only when the settings hold a low-battery
// key, so that their transcripts stay as they are.
class LowBatteryWatch {
 public:
  LowBatteryWatch(bool machineBattery, WarningOutputs outputs);
  ~LowBatteryWatch();
  LowBatteryWatch(const LowBatteryWatch&) = delete;
  LowBatteryWatch& operator=(const LowBatteryWatch&) = delete;

  // now is the host's clock.
  void onStatus(const brimwell::Plist& status, double now);
  void onTime(double now);
  // After a sleep: what was counted before it is stale.
  void onResume(double now);
  // Seconds from now until onTime has something to do; none while nothing is pending.
  std::optional<double> secondsUntilDue(double now) const;
  // The last check before an action reads the battery afresh.
  bool actionDueBy(double time) const;

 private:
  void readSettings();
  void apply(const std::vector<low_battery::Event>& events, double now);
  void show(const low_battery::Event& event);
  void act(const low_battery::Event& event);
  void failed(const std::string& why);
  void followCommand();
  void askLogind();
  bus::Logind* logind(std::string& why);
  void answered(bool done, const std::string& why);
  void takeDown(UIAlertView*& dialog);
  bool userCancelled();
  void say(const std::string& line);

  bool machineBattery_;
  WarningOutputs out_;
  bool enabled_ = false;
  bool soundOn_ = false;
  low_battery::Settings settings_;
  low_battery::State state_;
  std::optional<low_battery::Reading> last_;
  std::set<std::string> said_;  // complaints about the settings, each said once
  bool shown_ = false;          // a low-battery notice of ours is on the desktop
  low_battery::Event acted_{low_battery::Event::act};  // the action taken, for what was done
  UIAlertView* actionDialog_ = nullptr;
  UIAlertView* warningDialog_ = nullptr;
  low_battery::CommandAction command_;
  std::unique_ptr<bus::Connection> ownBus_;  // where the host holds no logind of its own
  std::unique_ptr<bus::Logind> ownLogind_;
  bool logindAsked_ = false;  // an action asked of logind, not answered yet
  // Answers that come after the watch is gone find this false.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The policy's reading of a status: the level (the kernel's own where the status carries it,
// else the charge over the full charge), external power as the plug-in sees it, whether the
// battery gives a real draw (at least the estimator's lowest rate, from the host's power figure
// or the current and voltage), and the host's time to empty where known.
low_battery::Reading lowBatteryReading(const brimwell::Plist& status, double now);

}  // namespace host
