#pragma once

namespace brimwell {

// Where the status file lives on the device, and the keys that this system reads from it.
inline constexpr const char* kBatteryStatusPath = "/tmp/batteryStatus.plist";

namespace key {
inline constexpr const char* kRawCurrentCapacity = "AppleRawCurrentCapacity";
inline constexpr const char* kRawMaxCapacity = "AppleRawMaxCapacity";
inline constexpr const char* kDesignCapacity = "DesignCapacity";
inline constexpr const char* kCycleCount = "CycleCount";
inline constexpr const char* kTemperature = "Temperature";
inline constexpr const char* kInstantAmperage = "InstantAmperage";
inline constexpr const char* kIsCharging = "IsCharging";
inline constexpr const char* kExternalConnected = "ExternalConnected";
inline constexpr const char* kExternalChargeCapable = "ExternalChargeCapable";
inline constexpr const char* kFullyCharged = "FullyCharged";
inline constexpr const char* kVoltage = "Voltage";
inline constexpr const char* kAmperage = "Amperage";
inline constexpr const char* kManufacturer = "Manufacturer";
inline constexpr const char* kSerial = "Serial";
}  // namespace key

}  // namespace brimwell
