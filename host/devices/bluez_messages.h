#pragma once

#include <map>
#include <string>

#include "host/devices/bluez_decode.h"

struct sd_bus_message;

// BlueZ's messages read into property maps: only Device1 and Battery1 are kept, and of their
// values only booleans, integers and strings. False when the message is not as it should be.
namespace host::devices {

inline constexpr const char* kDevice1 = "org.bluez.Device1";
inline constexpr const char* kBattery1 = "org.bluez.Battery1";

// An a{sv}, merged into `into`.
bool readProperties(sd_bus_message* message, Properties& into);
// An a{sa{sv}}: the interfaces an object has, with their properties.
bool readInterfaces(sd_bus_message* message, std::map<std::string, Properties>& into);
// GetManagedObjects' answer, a{oa{sa{sv}}}: every object with Device1 or Battery1, by path.
bool readManagedObjects(sd_bus_message* message, std::map<std::string, BluezObject>& into);
// An object's interfaces applied to what was known of it.
void applyInterfaces(const std::map<std::string, Properties>& interfaces, BluezObject& object);

}  // namespace host::devices
