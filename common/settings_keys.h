#pragma once

namespace brimwell {

// The plug-in's settings file, written by the preferences page, read by the plug-in.
inline constexpr const char* kSettingsPath =
    "/var/mobile/Library/Preferences/org.tarnel.Brimwell.plist";

namespace setting {
inline constexpr const char* kChargeMode = "chargeMode";
inline constexpr const char* kAlertLevel = "alertLevel";
inline constexpr const char* kIsRepeat = "isRepeat";
inline constexpr const char* kIsPopAlert = "isPopAlert";
inline constexpr const char* kIsVibrate = "isVibrate";
inline constexpr const char* kIsSound = "isSound";
inline constexpr const char* kTextColor = "textColor";

// The host's own, kept beside the plug-in's (which reads only its seven): the low-battery
// warnings and the last action.
inline constexpr const char* kLowLevel = "lowLevel";
inline constexpr const char* kCriticalLevel = "criticalLevel";
inline constexpr const char* kActionLevel = "actionLevel";
inline constexpr const char* kLowAction = "lowAction";
inline constexpr const char* kLowActionCommand = "lowActionCommand";
inline constexpr const char* kLowActionDelay = "lowActionDelay";
inline constexpr const char* kLowRepeatMinutes = "lowRepeatMinutes";
inline constexpr const char* kLowMinutes = "lowMinutes";
// The laptop's service, at resume: the drain over a sleep (percent an hour) above which it
// notifies; 0 never.
inline constexpr const char* kSleepDrainAlert = "sleepDrainAlert";
// The laptop's service, for the user's other batteries (mice, headsets...): the hours between
// reminders of a device that stays low (0 never), and a dictionary keyed by a device's serial or
// name, each entry holding lowLevel, criticalLevel (the keys above) and mute.
inline constexpr const char* kDeviceRemindHours = "deviceRemindHours";
inline constexpr const char* kDevices = "devices";
inline constexpr const char* kMute = "mute";

// On a laptop: the keys whose values are the laptop's defaults, not the user's (an array).
inline constexpr const char* kLaptopDefaults = "laptopDefaults";
}  // namespace setting

// What the host uses for a low-battery key the file does not hold.
namespace low_battery_default {
inline constexpr int kLowLevel = 20;
inline constexpr int kCriticalLevel = 5;
inline constexpr int kActionLevel = 2;
inline constexpr const char* kLowAction = "none";
inline constexpr int kLowActionDelay = 60;
inline constexpr int kLowRepeatMinutes = 0;
inline constexpr int kLowMinutes = 0;
}  // namespace low_battery_default

// What the host uses for a device's key the file does not hold.
namespace device_alert_default {
inline constexpr int kLowLevel = 10;
inline constexpr int kCriticalLevel = 5;
inline constexpr int kRemindHours = 24;
// The most deviceRemindHours takes: a month.
inline constexpr int kMostRemindHours = 720;
}  // namespace device_alert_default

// What the host uses for sleepDrainAlert while the file does not hold it: a healthy sleep loses
// well under this (about 0.5 % an hour in s2idle on a recent laptop).
namespace sleep_default {
inline constexpr double kSleepDrainAlert = 1.5;
}  // namespace sleep_default

}  // namespace brimwell
