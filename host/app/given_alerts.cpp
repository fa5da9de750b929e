#include "host/app/given_alerts.h"

#include "common/dictionary_file.h"
#include "host/app/low_battery_watch.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {
namespace {

constexpr const char* kRecordPath = "/tmp/brimwellGivenAlerts.plist";

std::string bootId() {
  return brimwell::readSmallRegularFile("/proc/sys/kernel/random/boot_id").value_or("");
}

}  // namespace

GivenAlerts::GivenAlerts(platform::Presenter& inner, bool remember)
    : inner_(inner), remember_(remember), boot_(remember ? bootId() : std::string()) {
  if (!remember_) return;
  const NSDictionary record = NSDictionary::dictionaryWithContentsOfFile(kRecordPath);
  const brimwell::Plist& d = record.contents();
  const brimwell::Plist* boot = d.item("boot");
  const brimwell::Plist* level = d.item("level");
  const brimwell::Plist* dialogs = d.item("dialogs");
  if (!boot || boot->text() != boot_ || !level || !dialogs || !dialogs->isArray()) return;
  recordLevel_ = level->kind() == brimwell::Plist::Kind::Real ? level->realValue() : 0;
  for (size_t i = 0; i < dialogs->size(); ++i) fromBefore_.insert(dialogs->at(i).text());
}

void GivenAlerts::onStatus(const brimwell::Plist& status) {
  muted_ = false;
  if (!remember_) return;
  const low_battery::Reading reading = lowBatteryReading(status, 0);
  level_ = reading.level;
  // A charger that does not keep up (a real draw) is unplugged as far as the alerts go.
  if (!reading.externalPower || reading.draws) return forget();
  // A level fallen since the record was written means the charger was out meanwhile.
  if (!checked_ && recordLevel_ && level_ && *level_ < *recordLevel_ - 1) forget();
  checked_ = true;
}

void GivenAlerts::showAlert(UIAlertView* alert) {
  muted_ = remember_ && fromBefore_.erase(alert->message()) > 0;
  if (muted_) {
    given_.insert(alert->message());
    alert->dismiss();
    return;
  }
  inner_.showAlert(alert);
  if (!remember_) return;
  given_.insert(alert->message());
  save();
}

void GivenAlerts::vibrate() {
  if (!muted_) inner_.vibrate();
}

void GivenAlerts::playSound(const std::string& devicePath) {
  if (!muted_) inner_.playSound(devicePath);
}

void GivenAlerts::save() const {
  brimwell::Plist d = brimwell::Plist::newDictionary();
  d.setItem("boot", brimwell::Plist::string(boot_));
  d.setItem("level", brimwell::Plist::real(level_.value_or(0)));
  brimwell::Plist dialogs = brimwell::Plist::newArray();
  for (const std::string& message : given_) dialogs.append(brimwell::Plist::string(message));
  d.setItem("dialogs", std::move(dialogs));
  NSDictionary(std::move(d)).writeToFile(kRecordPath, true);
}

void GivenAlerts::forget() {
  const bool had = !given_.empty() || !fromBefore_.empty() || recordLevel_;
  given_.clear();
  fromBefore_.clear();
  recordLevel_.reset();
  if (had) NSFileManager::defaultManager().removeItemAtPath(kRecordPath);
}

}  // namespace host
