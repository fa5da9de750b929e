#include "plugin/plugin_settings.h"

#include "common/settings_keys.h"

namespace brimwell::plugin {

NSDictionary readPluginSettings() {
  return NSDictionary::dictionaryWithContentsOfFile(kSettingsPath);
}

AlertSettings alertSettingsFrom(const NSDictionary& settings) {
  AlertSettings s;
  s.isRepeat = settings.objectForKey(setting::kIsRepeat).boolValue();
  s.isPopAlert = settings.objectForKey(setting::kIsPopAlert).boolValue();
  s.isVibrate = settings.objectForKey(setting::kIsVibrate).boolValue();
  s.isSound = settings.objectForKey(setting::kIsSound).boolValue();
  s.chargeMode = settings.objectForKey(setting::kChargeMode).intValue();
  s.alertLevel = settings.objectForKey(setting::kAlertLevel).intValue();
  return s;
}

}  // namespace brimwell::plugin
