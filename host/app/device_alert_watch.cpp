#include "host/app/device_alert_watch.h"

#include <algorithm>

#include "common/dictionary_file.h"
#include "common/settings_keys.h"
#include "host/desktop/desktop_alerts.h"
#include "host/devices/device_alert_record.h"
#include "host/devices/device_alert_settings.h"
#include "host/devices/device_alert_texts.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"
#include "platform/foundation/ns_dictionary.h"

namespace host {
namespace {

std::string language() {
  const auto languages = platform::preferredLanguages();
  return languages.empty() ? std::string() : languages.front();
}

}  // namespace

DeviceAlertWatch::DeviceAlertWatch(DeviceAlertOutputs outputs) : out_(std::move(outputs)) {
  state_.before = devices::givenIn(
      brimwell::readDictionaryFile(platform::deviceFilePath(devices::kGivenDeviceAlertsPath)));
  kept_ = state_.before;
}

void DeviceAlertWatch::readSettings() {
  // A settings folder gone bad reads as no settings: the defaults, which warn.
  const auto refusal = platform::placeRefusal(brimwell::kSettingsPath);
  const NSDictionary file = NSDictionary::dictionaryWithContentsOfFile(brimwell::kSettingsPath);
  devices::AlertSettingsReading reading = devices::readAlertSettings(file.contents());
  settings_ = std::move(reading.settings);
  if (refusal) reading.complaints.insert(reading.complaints.begin(), "not read: " + *refusal);
  for (const std::string& complaint : reading.complaints) {
    if (said_.insert(complaint).second && out_.notice) out_.notice("device settings: " + complaint);
  }
}

void DeviceAlertWatch::apply(const std::vector<devices::DeviceNotice>& notices) {
  for (const devices::DeviceNotice& n : notices) {
    if (out_.line) out_.line(devices::noticeLine(n));
    if (!out_.desktop) continue;
    if (n.kind == devices::DeviceNotice::withdraw) {
      out_.desktop->withdrawDevice(n.id);
      continue;
    }
    const bool critical = n.stage == devices::AlertStage::critical;
    out_.desktop->warnDevice(
        n.id, devices::noticeText(n, language()),
        critical ? DesktopAlerts::Urgency::critical : DesktopAlerts::Urgency::normal);
  }
}

// Only when the warnings that hold changed: a record rewritten at each list would be most writes.
void DeviceAlertWatch::keep() {
  auto given = devices::givenWarnings(state_);
  if (given == kept_) return;
  NSDictionary(devices::givenPlist(given)).writeToFile(devices::kGivenDeviceAlertsPath, true);
  kept_ = std::move(given);
}

void DeviceAlertWatch::onDevices(const std::vector<devices::DeviceBattery>& devices,
                                 double wallClock) {
  last_ = devices;
  onSettings(wallClock);
}

void DeviceAlertWatch::onSettings(double wallClock) {
  readSettings();
  apply(devices::devicesNow(last_, settings_, state_, wallClock));
  keep();
}

void DeviceAlertWatch::onTime(double wallClock) {
  const auto due = devices::nextReminder(settings_, state_);
  if (!due || *due > wallClock) return;
  onSettings(wallClock);
}

std::optional<double> DeviceAlertWatch::secondsUntilDue(double wallClock) const {
  const auto due = devices::nextReminder(settings_, state_);
  if (!due) return std::nullopt;
  return std::max(0.0, *due - wallClock);
}

}  // namespace host
