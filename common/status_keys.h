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

// Further keys the host adds for a laptop's battery, as the device's own dictionaries name
// theirs; a phone's status has none of them.
inline constexpr const char* kCurrentCapacityPercent = "CurrentCapacity";  // the kernel's percent
inline constexpr const char* kAvgTimeToEmpty = "AvgTimeToEmpty";           // minutes
inline constexpr const char* kAvgTimeToFull = "AvgTimeToFull";             // minutes
inline constexpr const char* kBatteryPower = "BatteryPower";               // mW, + into the battery
inline constexpr const char* kChargeLimit = "ChargeLimit";  // percent of the full charge
// true while a "full once" holds the limit at 100 % until external power goes; absent otherwise.
inline constexpr const char* kChargeFullOnce = "ChargeFullOnce";
inline constexpr const char* kChargingState = "ChargingState";        // "charging", "full", ...
inline constexpr const char* kBatteryInstalled = "BatteryInstalled";  // false: the battery is gone
// mWh, where every pack's driver reports energy: the capacities above are charges worked out
// through one voltage, which the energy cannot be had back from.
inline constexpr const char* kBatteryEnergy = "BatteryEnergy";
inline constexpr const char* kBatteryEnergyFull = "BatteryEnergyFull";
// Where no percent can be had for a battery (its driver gives only a coarse level, or a capacity
// that is not a number): the level as the driver words it, one of kLevelWords or "Unknown". A
// status with it has no capacities, and nothing may read their absence as an empty battery.
inline constexpr const char* kBatteryLevelWord = "BatteryLevelWord";
}  // namespace key

// The kernel's coarse levels, lowest first.
inline constexpr const char* kLevelWords[] = {"Critical", "Low", "Normal", "High", "Full"};
inline constexpr const char* kUnknownLevelWord = "Unknown";

// A time the host cannot yet estimate, as the device writes it.
inline constexpr int kUnknownMinutes = 65535;

}  // namespace brimwell
