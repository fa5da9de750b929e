#pragma once

#include <string>
#include <vector>

// What kind of device a power supply of scope Device powers, from what the kernel shows beside
// it. Pure: the reading of those files is sysfs_devices' job.
namespace host::devices {

// One input device under the supply's device: its name and its capability bitmaps as the kernel
// prints them (hexadecimal words, the most significant first, separated by spaces).
struct InputDevice {
  std::string name, ev, key, rel, abs;
};

struct NodeSurroundings {
  std::vector<InputDevice> inputs;
  bool soundCard = false;  // a sound card on the device or beside it
};

// Whether bit `bit` is set in a bitmap as the kernel prints it.
bool bitSet(const std::string& bitmap, unsigned bit);

// A brimwell::device_kind word: from the input devices (a pen, a game controller, a keyboard, a
// mouse, in that order, since a keyboard with a touchpad is still a keyboard), else a sound card
// (a headset), else the supply's name, else other.
std::string kindOf(const std::string& supplyName, const NodeSurroundings& around);

}  // namespace host::devices
