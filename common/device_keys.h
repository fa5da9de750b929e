#pragma once

// The user's other batteries (mice, keyboards, headsets, controllers, pens) in a status file of
// their own beside the battery status file, which stays exactly as the phone's: written by the
// laptop's host only when something in it changes, read by the viewer and the bars. A property
// list: a dictionary whose Devices array holds one dictionary a device, in the order the keys
// below give.
namespace brimwell {

inline constexpr const char* kDevicesStatusPath = "/tmp/batteryDevices.plist";

namespace device_key {
inline constexpr const char* kDevices = "Devices";  // array of dictionaries
inline constexpr const char* kWritten = "Written";  // real: seconds since 1970
// Each device's dictionary.
inline constexpr const char* kId = "Id";      // string: what one device is known by when merged
inline constexpr const char* kName = "Name";  // string: the user's name for it (alias, or model)
inline constexpr const char* kKind = "Kind";  // string: one of the kind words below
// integer 0..100: only where the device tells a percent and it is known.
inline constexpr const char* kLevel = "Level";
// string: Full, High, Normal, Low or Critical, for a device that tells only that.
inline constexpr const char* kLevelWord = "LevelWord";
inline constexpr const char* kState = "State";  // string: charging, discharging, full, unknown
inline constexpr const char* kConnected = "Connected";  // boolean
inline constexpr const char* kLastSeen = "LastSeen";    // real: seconds since 1970
inline constexpr const char* kVia = "Via";          // string: "usb", "bluetooth" or "usb+bluetooth"
inline constexpr const char* kModel = "Model";      // string, where told
inline constexpr const char* kSerial = "Serial";    // string, where told
inline constexpr const char* kAddress = "Address";  // string: a Bluetooth address, where told
}  // namespace device_key

// The kinds, as the file and the settings spell them.
namespace device_kind {
inline constexpr const char* kMouse = "mouse";
inline constexpr const char* kKeyboard = "keyboard";
inline constexpr const char* kHeadset = "headset";
inline constexpr const char* kController = "controller";
inline constexpr const char* kPen = "pen";
inline constexpr const char* kOther = "other";
}  // namespace device_kind

}  // namespace brimwell
