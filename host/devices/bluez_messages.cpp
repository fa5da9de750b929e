#include "host/devices/bluez_messages.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstring>

namespace host::devices {
namespace {

template <typename T>
int readInteger(sd_bus_message* message, char type, PropertyValue& into) {
  T number{};
  const int r = sd_bus_message_read_basic(message, type, &number);
  into = static_cast<long long>(number);
  return r;
}

// The variant's value, when it is of a kind a record uses.
int readValue(sd_bus_message* message, char type, PropertyValue& into) {
  switch (type) {
    case 'b': {
      int truth = 0;
      const int r = sd_bus_message_read_basic(message, 'b', &truth);
      into = truth != 0;
      return r;
    }
    case 'y':
      return readInteger<uint8_t>(message, type, into);
    case 'n':
      return readInteger<int16_t>(message, type, into);
    case 'q':
      return readInteger<uint16_t>(message, type, into);
    case 'i':
      return readInteger<int32_t>(message, type, into);
    case 'u':
      return readInteger<uint32_t>(message, type, into);
    case 's':
    case 'o': {
      const char* text = nullptr;
      const int r = sd_bus_message_read_basic(message, type, &text);
      into = std::string(text ? text : "");
      return r;
    }
    default:
      return 0;
  }
}

// One {sv} entry's value; values of other kinds are passed over.
bool readEntry(sd_bus_message* message, const char* name, Properties& into) {
  const char* contents = nullptr;
  if (sd_bus_message_peek_type(message, nullptr, &contents) < 0 || !contents) return false;
  if (std::strlen(contents) != 1) return sd_bus_message_skip(message, "v") >= 0;
  if (sd_bus_message_enter_container(message, 'v', contents) < 0) return false;
  PropertyValue value;
  const int r = readValue(message, contents[0], value);
  if (r < 0) return false;
  if (r > 0) {
    into[name] = value;
  } else if (sd_bus_message_skip(message, contents) < 0) {
    return false;
  }
  return sd_bus_message_exit_container(message) >= 0;
}

}  // namespace

bool readProperties(sd_bus_message* message, Properties& into) {
  if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) return false;
  int r = 0;
  while ((r = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
    const char* name = nullptr;
    if (sd_bus_message_read(message, "s", &name) < 0) return false;
    if (!readEntry(message, name, into)) return false;
    if (sd_bus_message_exit_container(message) < 0) return false;
  }
  return r == 0 && sd_bus_message_exit_container(message) >= 0;
}

bool readInterfaces(sd_bus_message* message, std::map<std::string, Properties>& into) {
  if (sd_bus_message_enter_container(message, 'a', "{sa{sv}}") <= 0) return false;
  int r = 0;
  while ((r = sd_bus_message_enter_container(message, 'e', "sa{sv}")) > 0) {
    const char* name = nullptr;
    if (sd_bus_message_read(message, "s", &name) < 0) return false;
    const bool kept = std::strcmp(name, kDevice1) == 0 || std::strcmp(name, kBattery1) == 0;
    if (kept ? !readProperties(message, into[name]) : sd_bus_message_skip(message, "a{sv}") < 0)
      return false;
    if (sd_bus_message_exit_container(message) < 0) return false;
  }
  return r == 0 && sd_bus_message_exit_container(message) >= 0;
}

bool readManagedObjects(sd_bus_message* message, std::map<std::string, BluezObject>& into) {
  if (sd_bus_message_enter_container(message, 'a', "{oa{sa{sv}}}") <= 0) return false;
  int r = 0;
  while ((r = sd_bus_message_enter_container(message, 'e', "oa{sa{sv}}")) > 0) {
    const char* path = nullptr;
    std::map<std::string, Properties> interfaces;
    if (sd_bus_message_read(message, "o", &path) < 0) return false;
    if (!readInterfaces(message, interfaces)) return false;
    if (!interfaces.empty()) applyInterfaces(interfaces, into[path]);
    if (sd_bus_message_exit_container(message) < 0) return false;
  }
  return r == 0 && sd_bus_message_exit_container(message) >= 0;
}

void applyInterfaces(const std::map<std::string, Properties>& interfaces, BluezObject& object) {
  for (const auto& [name, properties] : interfaces) {
    if (name == kDevice1) {
      object.device = properties;
    } else {
      object.battery = properties;
    }
  }
}

}  // namespace host::devices
