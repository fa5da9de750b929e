#pragma once

#include <optional>
#include <string>
#include <vector>

#include "viewer/devices/known_device.h"

// How a device reads on the table, in the bars and in the tooltips: pure, the time passed in.

// "Mouse", "Headset": the kind word as a title.
std::string kindTitle(const std::string& kind);
// "Mouse MX Master 3": the kind and the user's name for it.
std::string deviceCaption(const KnownDevice& device);
// What the device tells of its charge: "64 %", its word ("Normal"), or "unknown"; for one not
// connected, when it was last seen ("last seen 3 h ago", relative to `now`), never a level that
// would look current.
std::string deviceLevelText(const KnownDevice& device, double now);
// The table's value: the level text, and the state where it is known ("64 %, charging").
std::string deviceValue(const KnownDevice& device, double now);
// "3 h", "45 min", "2 d": how long ago, rounded down; "a moment" under a minute.
std::string agoText(double seconds);

// How urgent a device's charge is: at or below 10 % (Low) or 5 % (Critical), or its word, while
// connected and not charging.
enum class DeviceUrgency { none, low, critical };
DeviceUrgency deviceUrgency(const KnownDevice& device);

// The device a bar asks for: the first whose name is the query (any case), else the first of
// that kind; none when neither is known.
std::optional<KnownDevice> findDevice(const std::vector<KnownDevice>& devices,
                                      const std::string& query);
