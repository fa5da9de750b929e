#include "host/devices/bluez_devices.h"

#include <systemd/sd-bus.h>

#include <map>
#include <string>
#include <utility>

#include "host/bus/bus_connection.h"
#include "host/devices/bluez_decode.h"
#include "host/devices/bluez_messages.h"

namespace host::devices {
namespace {

constexpr const char* kBluez = "org.bluez";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
// BlueZ answers at once; one that has not in this long is hung, and is read again when it comes
// back.
constexpr double kBound = 10.0;

std::string changesOf(const char* interface) {
  return std::string(
             "type='signal',sender='org.bluez',interface='org.freedesktop.DBus.Properties',"
             "member='PropertiesChanged',arg0='") +
         interface + "'";
}

}  // namespace

struct BluezDevices::State : std::enable_shared_from_this<State> {
  State(bus::Connection& connection, std::function<double()> clock, std::function<void()> changed)
      : bus(connection), wallClock(std::move(clock)), changed(std::move(changed)) {}

  void follow();
  void read();
  void answered(sd_bus_message* reply);
  void added(sd_bus_message* signal);
  void removed(sd_bus_message* signal);
  void propertiesChanged(sd_bus_message* signal);
  void owner(sd_bus_message* signal);
  void gone();
  void note(const std::string& id, bool wasConnected, bool connected);
  std::vector<DeviceBattery> list() const;
  void publish();

  bus::Connection& bus;
  std::function<double()> wallClock;
  std::function<void()> changed;
  std::map<std::string, BluezObject> objects;  // by object path
  std::map<std::string, double> seen;          // by id; kept while BlueZ is away
  std::vector<DeviceBattery> published;
  bool known = false;           // BlueZ's objects read since it last came
  bool publishedKnown = false;  // as last published
  unsigned reads = 0;           // reads asked so far: only the latest one's answer counts
};

BluezDevices::BluezDevices(bus::Connection& bus, std::function<double()> wallClock,
                           std::function<void()> changed)
    : state_(std::make_shared<State>(bus, std::move(wallClock), std::move(changed))) {
  state_->follow();
}

BluezDevices::~BluezDevices() = default;

std::vector<DeviceBattery> BluezDevices::devices() const {
  return state_->published;
}

bool BluezDevices::away() const {
  return !state_->publishedKnown;
}

// The signals first: the bus keeps their order with the read's, so nothing falls between.
void BluezDevices::State::follow() {
  const std::weak_ptr<State> self = weak_from_this();
  auto on = [self](void (State::*handle)(sd_bus_message*)) {
    return [self, handle](sd_bus_message* signal) {
      if (const auto state = self.lock()) (state.get()->*handle)(signal);
    };
  };
  bus.onSignal(kBluez, "/", kObjectManager, "InterfacesAdded", on(&State::added));
  bus.onSignal(kBluez, "/", kObjectManager, "InterfacesRemoved", on(&State::removed));
  bus.onMatch(changesOf(kDevice1).c_str(), on(&State::propertiesChanged));
  bus.onMatch(changesOf(kBattery1).c_str(), on(&State::propertiesChanged));
  bus.onMatch(
      "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
      "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='org.bluez'",
      on(&State::owner));
  read();
}

void BluezDevices::State::read() {
  sd_bus_message* call = bus.newCall(kBluez, "/", kObjectManager, "GetManagedObjects");
  // BlueZ not running is left so: the user may have turned Bluetooth off.
  if (call) sd_bus_message_set_auto_start(call, 0);
  const unsigned asked = ++reads;
  const std::weak_ptr<State> self = weak_from_this();
  std::string why;
  bus.call(
      call, kBound,
      [self, asked](sd_bus_message* reply, const std::string&) {
        const auto state = self.lock();
        if (state && reply && asked == state->reads) state->answered(reply);
      },
      why);
}

void BluezDevices::State::answered(sd_bus_message* reply) {
  std::map<std::string, BluezObject> now;
  if (!readManagedObjects(reply, now)) return;
  for (const auto& [path, object] : objects) {
    if (!now.count(path)) note(bluezId(object.device), bluezConnected(object.device), false);
  }
  for (const auto& [path, object] : now) {
    const auto before = objects.find(path);
    const bool wasConnected = before != objects.end() && bluezConnected(before->second.device);
    note(bluezId(object.device), wasConnected, bluezConnected(object.device));
  }
  objects = std::move(now);
  known = true;
  publish();
}

void BluezDevices::State::added(sd_bus_message* signal) {
  const char* path = nullptr;
  std::map<std::string, Properties> interfaces;
  if (sd_bus_message_read(signal, "o", &path) < 0 || !readInterfaces(signal, interfaces)) return;
  if (interfaces.empty()) return;
  BluezObject& object = objects[path];
  const bool wasConnected = bluezConnected(object.device);
  applyInterfaces(interfaces, object);
  note(bluezId(object.device), wasConnected, bluezConnected(object.device));
  publish();
}

void BluezDevices::State::removed(sd_bus_message* signal) {
  const char* path = nullptr;
  if (sd_bus_message_read(signal, "o", &path) < 0) return;
  const auto found = objects.find(path);
  if (found == objects.end() || sd_bus_message_enter_container(signal, 'a', "s") <= 0) return;
  BluezObject& object = found->second;
  const std::string id = bluezId(object.device);
  const bool wasConnected = bluezConnected(object.device);
  const char* interface = nullptr;
  while (sd_bus_message_read(signal, "s", &interface) > 0) {
    if (std::string(interface) == kBattery1) object.battery.reset();
    if (std::string(interface) == kDevice1) object.device.clear();
  }
  note(id, wasConnected, bluezConnected(object.device));
  if (object.device.empty()) objects.erase(found);
  publish();
}

void BluezDevices::State::propertiesChanged(sd_bus_message* signal) {
  const auto found = objects.find(sd_bus_message_get_path(signal));
  const char* interface = nullptr;
  if (found == objects.end() || sd_bus_message_read(signal, "s", &interface) < 0) return;
  BluezObject& object = found->second;
  const bool device = std::string(interface) == kDevice1;
  if (!device && !object.battery) return;
  Properties& properties = device ? object.device : *object.battery;
  const bool wasConnected = bluezConnected(object.device);
  if (!readProperties(signal, properties)) return;
  const char* invalid = nullptr;
  if (sd_bus_message_enter_container(signal, 'a', "s") > 0) {
    while (sd_bus_message_read(signal, "s", &invalid) > 0) properties.erase(invalid);
  }
  note(bluezId(object.device), wasConnected, bluezConnected(object.device));
  publish();
}

void BluezDevices::State::owner(sd_bus_message* signal) {
  const char *name = nullptr, *before = nullptr, *after = nullptr;
  if (sd_bus_message_read(signal, "sss", &name, &before, &after) < 0) return;
  gone();
  if (after && *after) read();
}

// While BlueZ is away nothing of it is known; what was connected was last seen now.
void BluezDevices::State::gone() {
  ++reads;
  known = false;
  for (const auto& [path, object] : objects) {
    note(bluezId(object.device), bluezConnected(object.device), false);
  }
  objects.clear();
  publish();
}

void BluezDevices::State::note(const std::string& id, bool wasConnected, bool connected) {
  if (id.empty()) return;
  const auto found = seen.find(id);
  const double before = found == seen.end() ? 0 : found->second;
  // Only devices once connected are kept: passers-by seen while scanning are many.
  const double after = bluezSeen(wasConnected, connected, before, wallClock());
  if (after != before) seen[id] = after;
}

std::vector<DeviceBattery> BluezDevices::State::list() const {
  std::vector<DeviceBattery> out;
  for (const auto& [path, object] : objects) {
    const auto found = seen.find(bluezId(object.device));
    const double last = found == seen.end() ? 0 : found->second;
    if (auto record = bluezBattery(object, last)) out.push_back(std::move(*record));
  }
  return out;
}

void BluezDevices::State::publish() {
  std::vector<DeviceBattery> now = list();
  if (now == published && known == publishedKnown) return;
  published = std::move(now);
  publishedKnown = known;
  if (changed) changed();
}

}  // namespace host::devices
