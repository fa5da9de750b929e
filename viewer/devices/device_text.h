#pragma once

#include <optional>
#include <string>
#include <vector>

#include "viewer/devices/known_device.h"

// How a device reads on the table, in the bars and in the tooltips: pure, the time passed in.

// "Mouse MX Master 3", "Bluetooth Mouse M336", "MX Master 3": the user's name for it, after its
// kind only where the kind adds to the name.
std::string deviceCaption(const KnownDevice& device);
// The table's widest row, in cells; --once's lines are the rows at this width.
constexpr int kTableRowCells = 64;
// A device's caption as a row of rowCells shows it: it starts at the row's fourth cell, and a
// blank separates it from the value, which ends a cell before the row's end. A caption longer
// than its room is cut there with an ellipsis (by cells, never inside a character).
std::string deviceRowCaption(const std::string& caption, const std::string& value, int rowCells);
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
// What a bar says on standard error when no device is the query: the devices there are, in one
// line, each named as a bar may ask for it (`Mouse "MX Master 3"`: by its name, or its kind).
std::string noSuchDeviceNote(const std::vector<KnownDevice>& devices, const std::string& query);
