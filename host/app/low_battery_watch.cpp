#include "host/app/low_battery_watch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "common/settings_keys.h"
#include "common/status_keys.h"
#include "common/value_conversions.h"
#include "host/bus/bus_connection.h"
#include "host/bus/logind.h"
#include "host/desktop/desktop_alerts.h"
#include "host/estimate/charge_estimate.h"
#include "host/low_battery/logind.h"
#include "host/low_battery/low_battery_settings.h"
#include "host/low_battery/low_battery_texts.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {
namespace {

using low_battery::Event;
namespace key = brimwell::key;

// While an action is announced, the desktop's Cancel and the screen's dialog are looked at this
// often.
constexpr double kCancelLook = 1.0;
// How long logind has to answer each call.
constexpr double kLogindBound = 15.0;

std::string language() {
  const auto languages = platform::preferredLanguages();
  return languages.empty() ? std::string() : languages.front();
}

// A command line is run only from a settings file that is the user's own and that nobody else
// may write.
std::optional<std::string> settingsFileRefusal() {
  const std::string path = platform::deviceFilePath(brimwell::kSettingsPath);
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return path + " is not a file of its own";
  }
  if (info.st_uid != ::geteuid()) return path + " is not yours";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return path + " is writable by others";
  return std::nullopt;
}

// The battery's power in W, + into it: the host's own figure, else the current times the
// voltage; none where the status gives neither.
std::optional<double> batteryWatts(const brimwell::Plist& status) {
  if (const brimwell::Plist* milliwatts = status.item(key::kBatteryPower)) {
    return brimwell::intValueOf(milliwatts) / 1e3;
  }
  const brimwell::Plist* current = status.item(key::kInstantAmperage);
  const brimwell::Plist* voltage = status.item(key::kVoltage);
  if (!current || !voltage) return std::nullopt;
  return static_cast<double>(brimwell::intValueOf(current)) * brimwell::intValueOf(voltage) / 1e6;
}

// The minutes the present draw leaves: the energy over the power, else the charge over the
// current; none unless the battery drains.
std::optional<double> presentMinutesToEmpty(const brimwell::Plist& status,
                                            std::optional<double> watts) {
  const brimwell::Plist* energy = status.item(key::kBatteryEnergy);
  if (energy && watts) {
    if (*watts >= 0) return std::nullopt;
    return brimwell::intValueOf(energy) * 60.0 / (-*watts * 1e3);
  }
  const brimwell::Plist* charge = status.item(key::kRawCurrentCapacity);
  const brimwell::Plist* current = status.item(key::kInstantAmperage);
  if (!charge || !current || brimwell::intValueOf(current) >= 0) return std::nullopt;
  return brimwell::intValueOf(charge) * 60.0 / -static_cast<double>(brimwell::intValueOf(current));
}

}  // namespace

low_battery::Reading lowBatteryReading(const brimwell::Plist& status, double now) {
  low_battery::Reading r;
  r.time = now;
  r.externalPower = brimwell::boolValueOf(status.item(key::kExternalConnected)) ||
                    brimwell::boolValueOf(status.item(key::kExternalChargeCapable));
  // A draw under the estimator's lowest rate is an idle pack's noise, not a charger that does
  // not keep up; one that cannot be measured is left to the level's fall.
  const std::optional<double> watts = batteryWatts(status);
  r.draws = watts && *watts <= -estimate::SteadyRate::kLowest;
  if (const brimwell::Plist* percent = status.item(key::kCurrentCapacityPercent)) {
    r.level = brimwell::intValueOf(percent);
  } else {
    const int32_t charge = brimwell::intValueOf(status.item(key::kRawCurrentCapacity));
    const int32_t full = brimwell::intValueOf(status.item(key::kRawMaxCapacity));
    if (full > 0) r.level = std::clamp(100.0 * charge / full, 0.0, 100.0);
  }
  if (const auto word = brimwell::textOf(status.item(key::kBatteryLevelWord)); word && !r.level) {
    if (*word == "Critical") r.word = low_battery::WordLevel::critical;
    if (*word == "Low") r.word = low_battery::WordLevel::low;
    if (*word == "Normal" || *word == "High" || *word == "Full")
      r.word = low_battery::WordLevel::fine;
  }
  if (const brimwell::Plist* minutes = status.item(key::kAvgTimeToEmpty)) {
    const int32_t value = brimwell::intValueOf(minutes);
    if (value > 0 && value != brimwell::kUnknownMinutes) r.minutesToEmpty = value;
  }
  // The steady time lags a draw that rose: a warning never promises more than the present draw
  // leaves.
  const auto present = presentMinutesToEmpty(status, watts);
  if (r.minutesToEmpty && present) r.minutesToEmpty = std::min(*r.minutesToEmpty, *present);
  return r;
}

LowBatteryWatch::LowBatteryWatch(bool machineBattery, WarningOutputs outputs)
    : machineBattery_(machineBattery), out_(std::move(outputs)) {}

LowBatteryWatch::~LowBatteryWatch() {
  // A host that stops takes back what it announced: nothing will act on it now.
  if (state_.actionAt && out_.line) {
    out_.line(low_battery::lineFor(Event(Event::cancel), settings_, 0));
  }
  // Nor is anyone left to take down what it showed when the charger comes.
  if (out_.desktop && shown_) out_.desktop->withdraw();
  if (out_.runLoop && command_.endDescriptor() >= 0) {
    NSRunLoop::mainRunLoop().removeReadSource(command_.endDescriptor());
  }
  *alive_ = false;
  for (UIAlertView* dialog : {actionDialog_, warningDialog_}) {
    if (dialog) dialog->release();
  }
}

void LowBatteryWatch::readSettings() {
  // A settings folder that went bad while the host runs is read as no settings, by the plug-in
  // too: the user is told once why their alerts changed.
  const auto refusal = platform::placeRefusal(brimwell::kSettingsPath);
  if (refusal && said_.insert(*refusal).second) say("the settings are not read: " + *refusal);
  const NSDictionary file = NSDictionary::dictionaryWithContentsOfFile(brimwell::kSettingsPath);
  low_battery::SettingsReading reading = low_battery::readSettings(file.contents());
  enabled_ = machineBattery_ || reading.anyGiven;
  soundOn_ = file.objectForKey(brimwell::setting::kIsSound).boolValue();
  settings_ = std::move(reading.settings);
  if (!enabled_) return;
  for (const std::string& complaint : reading.complaints) {
    if (said_.insert(complaint).second) say("settings: " + complaint);
  }
  if (settings_.action == low_battery::Action::command) {
    if (const auto refusal = settingsFileRefusal()) {
      if (said_.insert(*refusal).second) say("lowAction command will not run: " + *refusal);
    }
  }
}

void LowBatteryWatch::onStatus(const brimwell::Plist& status, double now) {
  readSettings();
  if (!enabled_) return;
  last_ = lowBatteryReading(status, now);
  apply(low_battery::onReading(settings_, state_, *last_), now);
}

void LowBatteryWatch::onTime(double now) {
  if (!enabled_ || !last_) return;
  if (actionDueBy(now)) readSettings();  // the last check reads the settings afresh too
  if (state_.actionAt && userCancelled()) apply(low_battery::onCancel(state_), now);
  apply(low_battery::onTime(settings_, state_, *last_, now), now);
  if (!out_.runLoop) followCommand();
}

void LowBatteryWatch::onResume(double now) {
  apply(low_battery::onResume(state_), now);
}

std::optional<double> LowBatteryWatch::secondsUntilDue(double now) const {
  std::optional<double> due = low_battery::nextDeadline(state_);
  if (!enabled_ || !due) return std::nullopt;
  double seconds = std::max(0.0, *due - now);
  if (state_.actionAt && (out_.desktop || out_.screen)) seconds = std::min(seconds, kCancelLook);
  return seconds;
}

bool LowBatteryWatch::actionDueBy(double time) const {
  return enabled_ && state_.actionAt && *state_.actionAt <= time;
}

bool LowBatteryWatch::userCancelled() {
  const bool onDesktop = out_.desktop && out_.desktop->cancelPressed();
  const bool onScreen = actionDialog_ && !actionDialog_->isVisible();
  return onDesktop || onScreen;
}

void LowBatteryWatch::apply(const std::vector<Event>& events, double now) {
  for (const Event& e : events) {
    if (e.kind != Event::withdraw && out_.line) out_.line(low_battery::lineFor(e, settings_, now));
    if (e.kind == Event::warn || e.kind == Event::announce) show(e);
    if (e.kind == Event::act) act(e);
    // A countdown dropped takes its notice, and its Cancel, with it.
    if (e.kind == Event::withdraw || e.kind == Event::cancel) {
      if (out_.desktop) out_.desktop->withdraw();
      shown_ = false;
      takeDown(actionDialog_);
      if (e.kind == Event::withdraw) takeDown(warningDialog_);
    }
  }
}

// A dialog on the host's screen, a notification on the desktop.
void LowBatteryWatch::show(const Event& e) {
  const low_battery::Message m = low_battery::messageFor(e, settings_, language());
  const bool announce = e.kind == Event::announce;
  const bool low = e.kind == Event::warn && e.stage == low_battery::Stage::low;
  // What was done is news, not an alarm.
  const bool done = e.kind == Event::act;
  if (out_.desktop) {
    const char* sound = soundOn_ && !done ? (low ? "battery-low" : "battery-caution") : nullptr;
    out_.desktop->warn(
        m.summary, m.body,
        low || done ? DesktopAlerts::Urgency::normal : DesktopAlerts::Urgency::critical, sound,
        announce ? m.cancel.c_str() : nullptr);
    shown_ = true;
  }
  if (out_.screen) {
    // A warning replaces the one before on the screen too, rather than stacking.
    takeDown(warningDialog_);
    if (announce || done) takeDown(actionDialog_);
    UIAlertView* dialog = UIAlertView::alloc()->initWithTitle(
        m.summary, m.body, nullptr, announce ? m.cancel : std::string("OK"), nullptr);
    dialog->show();
    (announce ? actionDialog_ : warningDialog_) = dialog->retain();
    dialog->release();
  }
}

// A dialog of ours that is still up comes down.
void LowBatteryWatch::takeDown(UIAlertView*& dialog) {
  if (!dialog) return;
  if (dialog->isVisible() && out_.screen) out_.screen->withdrawAlert(dialog);
  dialog->release();
  dialog = nullptr;
}

void LowBatteryWatch::act(const Event& e) {
  acted_ = e;
  if (settings_.action != low_battery::Action::command) return askLogind();
  if (const auto refusal = settingsFileRefusal()) return failed(*refusal);
  if (command_.running()) return failed("the command started before has not ended");
  std::string output, why;
  if (!command_.start(settings_.command, output, why)) return failed(why);
  if (out_.line) out_.line("low-battery action command: its output goes to " + output);
  show(acted_);
  if (out_.runLoop && command_.endDescriptor() >= 0) {
    NSRunLoop::mainRunLoop().addReadSource(command_.endDescriptor(), [this] { followCommand(); });
  }
}

void LowBatteryWatch::askLogind() {
  if (logindAsked_) return failed("the request before has not been answered");
  const char* can = nullptr;
  const char* method = nullptr;
  std::string why;
  if (!low_battery::logindMethods(settings_.action, can, method)) {
    return failed(std::string(low_battery::actionName(settings_.action)) + " is not logind's");
  }
  bus::Logind* logind = this->logind(why);
  if (!logind) return failed(why);
  std::shared_ptr<bool> alive = alive_;
  logindAsked_ = logind->act(
      can, method, kLogindBound,
      [this, alive](bool done, const std::string& answer) {
        if (*alive) answered(done, answer);
      },
      why);
  if (!logindAsked_) return failed(why);
  // A run in virtual time waits for the answer, within the bounds of its two calls.
  if (!out_.runLoop) {
    logind->connection().runUntil([this] { return !logindAsked_; }, 2 * kLogindBound + 1);
  }
}

// The host's own logind, else one reached for this action (a simulated phone's run).
bus::Logind* LowBatteryWatch::logind(std::string& why) {
  if (out_.logind) return out_.logind;
  if (!ownLogind_) {
    ownBus_ = bus::Connection::open(bus::Connection::Which::system, why);
    if (!ownBus_) return nullptr;
    ownLogind_ = std::make_unique<bus::Logind>(*ownBus_);
  }
  return ownLogind_.get();
}

void LowBatteryWatch::answered(bool done, const std::string& why) {
  logindAsked_ = false;
  if (done) {
    show(acted_);
  } else {
    failed(why);
  }
}

void LowBatteryWatch::followCommand() {
  const int descriptor = command_.endDescriptor();
  const auto ending = command_.finished();
  if (!ending) return;
  if (out_.runLoop && descriptor >= 0) NSRunLoop::mainRunLoop().removeReadSource(descriptor);
  if (!ending->succeeded) return failed("the command ended with " + ending->how);
  if (out_.line) out_.line("low-battery action command ended with " + ending->how);
}

// Said where the warnings go, once: an action is not retried. Its notice replaces the countdown.
void LowBatteryWatch::failed(const std::string& why) {
  const std::string line = low_battery::failureLine(settings_.action, why);
  say(line);
  if (out_.desktop) {
    out_.desktop->warn(low_battery::failureSummary(language()), why,
                       DesktopAlerts::Urgency::critical, nullptr, nullptr);
    shown_ = true;
  }
}

void LowBatteryWatch::say(const std::string& line) {
  if (out_.notice) out_.notice(line);
}

}  // namespace host
