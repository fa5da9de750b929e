// The four things the alert policy can do: two dialogs, a vibration and a sound.
#include "common/settings_keys.h"
#include "platform/audio/audio_services.h"
#include "platform/foundation/ns_locale.h"
#include "platform/foundation/ns_string.h"
#include "platform/uikit/ui_alert_view.h"
#include "plugin/alert_texts.h"
#include "plugin/host_methods.h"
#include "plugin/plugin_settings.h"

namespace brimwell::plugin {
namespace {

constexpr const char* kAlertSoundPath = "/System/Library/Audio/UISounds/alert_sound.wav";

void showDialog(const char* title, const std::string& message, const char* button) {
  UIAlertView* alert =
      UIAlertView::alloc()->initWithTitle(title, message, nullptr, button, nullptr);
  alert->show();
  alert->release();  // the platform keeps it while it is on screen
}

// Each alert makes its own sound; it is given back once it has played, so that a sound at
// every status change does not use up identifiers.
void disposeWhenFinished(SystemSoundID sound, void*) {
  AudioServicesDisposeSystemSoundID(sound);
}

}  // namespace

void popAlertView(id, SEL) {
  const AlertTexts& texts = alertTextsFor(NSLocale::preferredLanguages());
  showDialog(texts.title, texts.completionMessage, texts.button);
}

void popDIYLevelAlertView(id, SEL) {
  // The number shown is the setting, read anew, not the measured charge.
  const int32_t alertLevel = readPluginSettings().objectForKey(setting::kAlertLevel).intValue();
  const AlertTexts& texts = alertTextsFor(NSLocale::preferredLanguages());
  showDialog(texts.title, levelMessage(texts, alertLevel), texts.button);
}

void playVibrate(id, SEL) {
  AudioServicesPlaySystemSound(kSystemSoundID_Vibrate);
}

void playSound(id, SEL) {
  const NSURL url = NSURL::fileURLWithPath(kAlertSoundPath);
  SystemSoundID sound = 0;
  // A file that cannot be opened gives no sound to play.
  if (AudioServicesCreateSystemSoundID(url, &sound) != kAudioServicesNoError) return;
  AudioServicesAddSystemSoundCompletion(sound, disposeWhenFinished, nullptr);
  AudioServicesPlaySystemSound(sound);
}

}  // namespace brimwell::plugin
