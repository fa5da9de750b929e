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
}  // namespace setting

}  // namespace brimwell
