#include "host/app/sleep_watch.h"

#include "common/settings_keys.h"
#include "host/app/history_recorder.h"
#include "host/app/source_pump.h"
#include "host/bus/bus_connection.h"
#include "host/bus/logind.h"
#include "host/desktop/desktop_alerts.h"
#include "host/low_battery/low_battery_settings.h"
#include "host/sleep/sleep_drain.h"
#include "platform/foundation/ns_dictionary.h"

namespace host {
namespace {

// logind answers in milliseconds; one that has not in this long is not coming.
constexpr double kLogindBound = 15.0;
constexpr const char* kWhy = "Brimwell reads the battery before the machine sleeps";

}  // namespace

SleepWatch::SleepWatch(Say say) : say_(std::move(say)) {
  std::string why;
  bus_ = bus::Connection::open(bus::Connection::Which::system, why);
  if (!bus_) {
    lessPrecisely(why);
    return;
  }
  logind_ = std::make_unique<bus::Logind>(*bus_);
  bus_->onClosed([this] { lessPrecisely("the system bus closed the connection"); });
  logind_->onPrepareForSleep([this](bool sleeping) { prepare(sleeping); });
  inhibit();
}

SleepWatch::~SleepWatch() = default;

void SleepWatch::follow(BatterySource* source, SourcePump* pump) {
  source_ = source;
  pump_ = pump;
}

void SleepWatch::prepare(bool sleeping) {
  if (sleeping) {
    // The reading the sleep is measured from, then the machine may sleep.
    if (pump_) pump_->lookNow();
    if (source_) source_->sleepBegins();
    logind_->releaseSleep();
    return;
  }
  inhibit();
  if (source_) source_->sleepEnded();
  if (pump_) pump_->lookNow();
}

void SleepWatch::inhibit() {
  logind_->inhibitSleep(kWhy, kLogindBound,
                        [this](const std::string& failed) { lessPrecisely("logind: " + failed); });
}

void SleepWatch::lessPrecisely(const std::string& why) {
  if (saidLessPrecise_) return;
  saidLessPrecise_ = true;
  say_(why + "; sleeps are measured less precisely, from the clock once the machine woke");
}

double SleepWatch::drainAlert() {
  const NSDictionary file = NSDictionary::dictionaryWithContentsOfFile(brimwell::kSettingsPath);
  const low_battery::SleepDrainAlert alert = low_battery::readSleepDrainAlert(file.contents());
  if (alert.complaint && said_.insert(*alert.complaint).second)
    say_("settings: " + *alert.complaint);
  return alert.percentPerHour;
}

void reportSleep(const BatterySource::SleepCrossing& crossing, double hostSeconds,
                 HistoryRecorder& history, DesktopAlerts* desktop, double alertPercentPerHour,
                 const SleepWatch::Say& line) {
  const sleep::SleepRecord record = history.onSleep(crossing, hostSeconds);
  line(sleep::sleepLine(record));
  if (!desktop) return;
  if (const auto notice = sleep::sleepNotice(record, alertPercentPerHour)) {
    desktop->notify("Battery drain while asleep", *notice);
  }
}

}  // namespace host
