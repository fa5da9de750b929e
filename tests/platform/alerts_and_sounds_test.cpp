#include <gtest/gtest.h>

#include <vector>

#include "platform/audio/audio_services.h"
#include "platform/uikit/presenter.h"
#include "platform/uikit/ui_alert_view.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace {

// Keeps dialogs on screen until told to close them, like a screen would.
struct HoldingPresenter : platform::Presenter {
  std::vector<UIAlertView*> shown;
  std::vector<std::string> events;
  void showAlert(UIAlertView* alert) override { shown.push_back(alert); }
  void vibrate() override { events.push_back("vibrate"); }
  void playSound(const std::string& path) override { events.push_back("sound " + path); }
};

TEST(AlertView, ThePlatformKeepsAShownDialogUntilItCloses) {
  HoldingPresenter presenter;
  platform::setPresenter(&presenter);
  const long before = UIAlertView::liveAlerts();
  UIAlertView* alert = UIAlertView::alloc()->initWithTitle("Message", "Charging is complete",
                                                           nullptr, "OK", nullptr);
  alert->show();
  alert->release();  // the maker lets go at once
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_TRUE(presenter.shown[0]->isVisible());
  EXPECT_EQ(presenter.shown[0]->message(), "Charging is complete");
  EXPECT_EQ(UIAlertView::liveAlerts(), before + 1);
  presenter.shown[0]->dismiss();
  EXPECT_EQ(UIAlertView::liveAlerts(), before);
  platform::setPresenter(nullptr);
}

void dispose(SystemSoundID sound, void* calls) {
  ++*static_cast<int*>(calls);
  AudioServicesDisposeSystemSoundID(sound);
}

TEST(SystemSounds, CreatedFromExistingFilesAndDisposedOnCompletion) {
  testing_support::TempDir root;
  testing_support::ScopedEnvironment env;
  env.set("SIM_DEVICE_ROOT", root.path());
  root.write("/System/Library/Audio/UISounds/alert_sound.wav", "RIFF");
  HoldingPresenter presenter;
  platform::setPresenter(&presenter);

  SystemSoundID missing = 0;
  EXPECT_NE(AudioServicesCreateSystemSoundID(NSURL::fileURLWithPath("/no/such.wav"), &missing),
            kAudioServicesNoError);
  EXPECT_EQ(missing, 0u);

  const size_t before = platform::liveSystemSounds();
  int completions = 0;
  for (int i = 0; i < 3; ++i) {
    SystemSoundID sound = 0;
    ASSERT_EQ(AudioServicesCreateSystemSoundID(
                  NSURL::fileURLWithPath("/System/Library/Audio/UISounds/alert_sound.wav"), &sound),
              kAudioServicesNoError);
    AudioServicesAddSystemSoundCompletion(sound, dispose, &completions);
    AudioServicesPlaySystemSound(sound);
  }
  AudioServicesPlaySystemSound(kSystemSoundID_Vibrate);
  EXPECT_EQ(completions, 3);
  EXPECT_EQ(platform::liveSystemSounds(), before);
  EXPECT_EQ(presenter.events,
            (std::vector<std::string>{"sound /System/Library/Audio/UISounds/alert_sound.wav",
                                      "sound /System/Library/Audio/UISounds/alert_sound.wav",
                                      "sound /System/Library/Audio/UISounds/alert_sound.wav",
                                      "vibrate"}));
  platform::setPresenter(nullptr);
}

}  // namespace
