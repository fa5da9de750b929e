// Bluetooth devices' batteries as BlueZ tells of them: the records decoded from its properties,
// and the source kept by its signals on a bus where BlueZ comes, changes and goes.
#include "host/devices/bluez_devices.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/bus/bus_connection.h"
#include "host/devices/bluez_decode.h"
#include "tests/support/mock_bus.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/subprocess.h"

namespace host::devices {
namespace {

std::string summary(const std::vector<DeviceBattery>& devices) {
  std::ostringstream out;
  for (const DeviceBattery& d : devices) {
    out << d.id << " '" << d.name << "' " << d.kind << " "
        << (d.level ? std::to_string(*d.level) + "%" : "unknown") << " "
        << (d.connected ? "connected" : "away") << " seen " << d.lastSeen << " " << d.via
        << (d.address ? " " + *d.address : "") << "\n";
  }
  return out.str();
}

TEST(BluezDecode, RecordsFromProperties) {
  const struct {
    const char* name;
    Properties device;
    std::optional<Properties> battery;
    const char* record;  // summary() of the record; empty: none
  } cases[] = {
      {"a headset at 8 %",
       {{"Address", "aa:bb:cc:dd:ee:01"},
        {"Alias", "Bose"},
        {"Name", "QC35"},
        {"Icon", "audio-headset"},
        {"Connected", true}},
       Properties{{"Percentage", 8LL}},
       "address:AA:BB:CC:DD:EE:01 'Bose' headset 8% connected seen 5 bluetooth "
       "AA:BB:CC:DD:EE:01\n"},
      {"no alias: the name",
       {{"Address", "AA:BB:CC:DD:EE:02"}, {"Alias", ""}, {"Name", "MX Keys"}},
       Properties{{"Percentage", 100LL}},
       "address:AA:BB:CC:DD:EE:02 'MX Keys' other 100% away seen 5 bluetooth AA:BB:CC:DD:EE:02\n"},
      {"no alias nor name: the address",
       {{"Address", "AA:BB:CC:DD:EE:03"}, {"Alias", true}},
       Properties{{"Percentage", 0LL}},
       "address:AA:BB:CC:DD:EE:03 'AA:BB:CC:DD:EE:03' other 0% away seen 5 bluetooth "
       "AA:BB:CC:DD:EE:03\n"},
      {"above 100",
       {{"Address", "A"}},
       Properties{{"Percentage", 101LL}},
       "address:A 'A' other unknown away seen 5 bluetooth A\n"},
      {"a byte's top",
       {{"Address", "A"}},
       Properties{{"Percentage", 255LL}},
       "address:A 'A' other unknown away seen 5 bluetooth A\n"},
      {"below 0",
       {{"Address", "A"}},
       Properties{{"Percentage", -1LL}},
       "address:A 'A' other unknown away seen 5 bluetooth A\n"},
      {"a percentage that is text",
       {{"Address", "A"}},
       Properties{{"Percentage", "50"}},
       "address:A 'A' other unknown away seen 5 bluetooth A\n"},
      {"a battery without its percentage",
       {{"Address", "A"}},
       Properties{},
       "address:A 'A' other unknown away seen 5 bluetooth A\n"},
      {"no battery", {{"Address", "A"}}, std::nullopt, ""},
      {"no address", {{"Alias", "X"}}, Properties{{"Percentage", 50LL}}, ""},
  };
  for (const auto& c : cases) {
    const auto record = bluezBattery(BluezObject{c.device, c.battery}, 5);
    EXPECT_EQ(record ? summary({*record}) : "", c.record) << c.name;
  }
}

TEST(BluezDecode, KindFromIconElseAppearance) {
  const struct {
    const char* icon;
    std::optional<long long> appearance;
    const char* kind;
  } cases[] = {
      {"input-mouse", 0x03C1, "mouse"},  // the icon first
      {"input-keyboard", std::nullopt, "keyboard"},
      {"audio-headset", std::nullopt, "headset"},
      {"audio-headphones", std::nullopt, "headset"},
      {"audio-card", std::nullopt, "headset"},
      {"input-gaming", std::nullopt, "controller"},
      {"input-tablet", std::nullopt, "pen"},
      {"phone", std::nullopt, "other"},
      {"phone", 0x03C1, "keyboard"},
      {"", 0x03C2, "mouse"},
      {"", 0x03C3, "controller"},
      {"", 0x03C4, "controller"},
      {"", 0x03C5, "pen"},
      {"", 0x03C6, "other"},  // a card reader
      {"", 0x03C7, "pen"},
      {"", 0x03C0, "other"},  // a HID of no sub-category
      {"", 0x093F, "other"},
      {"", 0x0940, "headset"},
      {"", 0x0941, "headset"},
      {"", 0x097F, "headset"},
      {"", 0x0980, "other"},
      {"", 0x0841, "other"},  // a speaker
      {"", 0, "other"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bluezKind(c.icon, c.appearance), c.kind)
        << c.icon << " " << c.appearance.value_or(-1);
  }
}

TEST(BluezDecode, SeenWhileConnectedOrAsItLeaves) {
  const struct {
    bool wasConnected, connected;
    double seen;
  } cases[] = {{false, false, 7}, {true, false, 9}, {false, true, 9}, {true, true, 9}};
  for (const auto& c : cases) {
    EXPECT_EQ(bluezSeen(c.wasConnected, c.connected, 7, 9), c.seen)
        << c.wasConnected << c.connected;
  }
}

// Drives the mock BlueZ: `mock` is its org.freedesktop.DBus.Mock interface on "/", `run` runs
// Python inside it, `dev(address)` a device's path.
constexpr const char* kDriver = R"(
import sys, dbus
bus = dbus.bus.BusConnection(sys.argv[1])
def iface(path, name): return dbus.Interface(bus.get_object(sys.argv[2], path), name)
mock = iface('/', 'org.freedesktop.DBus.Mock')
bluez = iface('/', 'org.bluez.Mock')
def run(code): iface('/', 'org.bluez.Mock').Run(code)
def dev(address): return '/org/bluez/hci0/dev_' + address.replace(':', '_').upper()
def battery(address, percent):
    iface(dev(address), 'org.freedesktop.DBus.Mock').AddProperties('org.bluez.Battery1', {'Percentage': dbus.Byte(percent)})
    mock.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesAdded', 'oa{sa{sv}}', [dbus.ObjectPath(dev(address)), {'org.bluez.Battery1': {'Percentage': dbus.Byte(percent)}}])
def update(address, interface, properties):
    iface(dev(address), 'org.freedesktop.DBus.Mock').UpdateProperties(interface, properties)
)";

TEST(BluezDevices, FollowsBluezAsItComesChangesAndGoes) {
  using testing_support::MockBus;
  if (const auto why = MockBus::unavailable()) GTEST_SKIP() << *why;
  MockBus bus;
  testing_support::ScopedEnvironment env;
  env.set("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
  std::string why;
  auto connection = bus::Connection::open(bus::Connection::Which::system, why);
  ASSERT_TRUE(connection) << why;
  double now = 1000;
  int changes = 0;
  std::string told;
  BluezDevices source(
      *connection, [&] { return now; },
      [&] {
        ++changes;
        told = summary(source.devices());
      });
  // Without BlueZ: nothing, and no change to tell of.
  connection->runUntil([] { return false; }, 0.5);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(summary(source.devices()), "");
  EXPECT_TRUE(source.away());

  ASSERT_TRUE(bus.startTemplate("bluez5", "org.bluez", true));
  const auto owner = testing_support::runProcess(
      "/usr/bin/python3", {"-c",
                           "import sys, dbus; print(dbus.bus.BusConnection(sys.argv[1])"
                           ".get_name_owner('org.bluez'), end='')",
                           bus.address()});
  ASSERT_EQ(owner.exitCode, 0) << owner.err;
  // The read BlueZ's coming brought is answered before a call of ours made after it.
  connection->runUntil([&] { return bus.calls().find("GetManagedObjects") != std::string::npos; },
                       5);
  bool answered = false;
  ASSERT_TRUE(connection->call(
      connection->newCall("org.bluez", "/", "org.freedesktop.DBus.Peer", "Ping"), 5,
      [&](sd_bus_message*, const std::string&) { answered = true; }, why));
  connection->runUntil([&] { return answered; }, 5);
  const std::string head = "address:AA:BB:CC:DD:EE:01 ",
                    mouse = "address:AA:BB:CC:DD:EE:03 'MX' mouse 55% connected seen ";
  const struct {
    const char* name;
    const char* python;
    std::string devices;
    bool away = false;  // BlueZ cannot tell now: its devices neither come nor go
  } steps[] = {
      {"a headset at 8 % and a mouse; a phone without a battery",
       "mock.AddMethod('org.bluez.Mock', 'Run', 's', '', 'exec(args[0])')\n"
       "bluez.AddAdapter('hci0', 'laptop')\n"
       "bluez.AddDevice('hci0', 'AA:BB:CC:DD:EE:01', 'WH-1000')\n"
       "update('AA:BB:CC:DD:EE:01', 'org.bluez.Device1', {'Icon': 'audio-headset'})\n"
       "bluez.ConnectDevice('hci0', 'AA:BB:CC:DD:EE:01')\n"
       "battery('AA:BB:CC:DD:EE:01', 8)\n"
       "bluez.AddDevice('hci0', 'AA:BB:CC:DD:EE:02', 'Phone')\n"
       "bluez.ConnectDevice('hci0', 'AA:BB:CC:DD:EE:02')\n"
       "bluez.AddDevice('hci0', 'aa:bb:cc:dd:ee:03', 'MX')\n"
       "update('aa:bb:cc:dd:ee:03', 'org.bluez.Device1', {'Appearance': dbus.UInt16(0x03C2)})\n"
       "bluez.ConnectDevice('hci0', 'aa:bb:cc:dd:ee:03')\n"
       "battery('aa:bb:cc:dd:ee:03', 55)\n",
       head + "'WH-1000' headset 8% connected seen 1010 bluetooth AA:BB:CC:DD:EE:01\n" + mouse +
           "1010 bluetooth AA:BB:CC:DD:EE:03\n"},
      {"the percentage changed",
       "update('AA:BB:CC:DD:EE:01', 'org.bluez.Battery1', {'Percentage': dbus.Byte(7)})\n",
       head + "'WH-1000' headset 7% connected seen 1020 bluetooth AA:BB:CC:DD:EE:01\n" + mouse +
           "1010 bluetooth AA:BB:CC:DD:EE:03\n"},
      {"renamed", "update('AA:BB:CC:DD:EE:01', 'org.bluez.Device1', {'Alias': 'Bose'})\n",
       head + "'Bose' headset 7% connected seen 1030 bluetooth AA:BB:CC:DD:EE:01\n" + mouse +
           "1010 bluetooth AA:BB:CC:DD:EE:03\n"},
      {"disconnected", "bluez.DisconnectDevice('hci0', 'AA:BB:CC:DD:EE:01')\n",
       head + "'Bose' headset 7% away seen 1040 bluetooth AA:BB:CC:DD:EE:01\n" + mouse +
           "1010 bluetooth AA:BB:CC:DD:EE:03\n"},
      {"its alias dropped: the name",
       "iface(dev('AA:BB:CC:DD:EE:01'), 'org.freedesktop.DBus.Mock').EmitSignal("
       "'org.freedesktop.DBus.Properties', 'PropertiesChanged', 'sa{sv}as', "
       "['org.bluez.Device1', dbus.Dictionary({}, signature='sv'), ['Alias']])\n",
       head + "'WH-1000' headset 7% away seen 1040 bluetooth AA:BB:CC:DD:EE:01\n" + mouse +
           "1010 bluetooth AA:BB:CC:DD:EE:03\n"},
      {"BlueZ goes", "run(\"self.bus_name.get_bus().release_name('org.bluez')\")\n", "", true},
      {"BlueZ comes back: read again",
       "run(\"self.bus_name.get_bus().request_name('org.bluez')\")\n",
       head + "'Bose' headset 7% away seen 1040 bluetooth AA:BB:CC:DD:EE:01\n" + mouse +
           "1070 bluetooth AA:BB:CC:DD:EE:03\n"},
      {"its battery removed",
       "run(\"del objects['\" + dev('AA:BB:CC:DD:EE:01') + \"'].props['org.bluez.Battery1']\")\n"
       "mock.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesRemoved', 'oas', "
       "[dbus.ObjectPath(dev('AA:BB:CC:DD:EE:01')), ['org.bluez.Battery1']])\n",
       mouse + "1070 bluetooth AA:BB:CC:DD:EE:03\n"},
      {"the device removed",
       "iface('/org/bluez/hci0', 'org.bluez.Adapter1').RemoveDevice(dev('aa:bb:cc:dd:ee:03'))\n",
       ""},
  };
  for (const auto& step : steps) {
    now += 10;
    const int before = changes;
    const auto driven = testing_support::runProcess(
        "/usr/bin/python3", {"-c", std::string(kDriver) + step.python, bus.address(), owner.out});
    ASSERT_EQ(driven.exitCode, 0) << step.name << ": " << driven.err;
    connection->runUntil(
        [&] { return changes > before && told == step.devices && source.away() == step.away; }, 5);
    EXPECT_EQ(told, step.devices) << step.name;
    EXPECT_EQ(source.away(), step.away) << step.name;
    EXPECT_EQ(summary(source.devices()), step.devices) << step.name;
  }
}

}  // namespace
}  // namespace host::devices
