#include "host/devices/sysfs_devices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "common/device_keys.h"
#include "common/dictionary_file.h"
#include "host/devices/device_kind.h"
#include "host/devices/device_merge.h"
#include "host/devices/device_watch.h"
#include "host/devices/devices_file.h"
#include "tests/support/device_root.h"
#include "tests/support/power_supply_fixture.h"
#include "tests/support/scoped_environment.h"

namespace host::devices {
namespace {

using namespace testing_support;
using W = LevelWord;
namespace kind = brimwell::device_kind;
constexpr double kNow = 1'800'000'000;

// Each driver's node as the host reads it, with what lies beside it.
TEST(SysfsDevices, EachDriversNodeReadsHonestly) {
  struct Row {
    const char* name;
    const char* supply;
    SupplyAttributes attributes;
    std::optional<InputCapabilities> input;
    std::string id, shownName, kind;
    std::optional<int> level;
    std::optional<W> word;
    DeviceState state;
    bool connected;
    std::string via;
    std::optional<std::string> address;
  };
  auto with = [](SupplyAttributes a, const char* k, const char* v) {
    a[k] = v;
    return a;
  };
  const Row rows[] = {
      {"hidpp mouse, a word only", "hidpp_battery_0", hidppMouse(), mouseInput(),
       "serial:4089-a6-b1-c2", "MX Master 3", kind::kMouse, std::nullopt, W::normal,
       DeviceState::discharging, true, "usb", std::nullopt},
      {"generic keyboard", "hid-0003:1532:0287.0004-battery", hidKeyboard(), keyboardInput(),
       "supply:hid-0003:1532:0287.0004-battery", "Razer BlackWidow V3 Mini", kind::kKeyboard, 64,
       std::nullopt, DeviceState::discharging, true, "usb", std::nullopt},
      {"controller before its first report", "ps-controller-battery-aa:bb:cc:dd:ee:ff",
       playStationFresh(), std::nullopt, "address:AA:BB:CC:DD:EE:FF",
       "ps-controller-battery-aa:bb:cc:dd:ee:ff", kind::kController, std::nullopt, std::nullopt,
       DeviceState::unknown, true, "bluetooth", "AA:BB:CC:DD:EE:FF"},
      {"controller after it", "ps-controller-battery-aa:bb:cc:dd:ee:ff",
       with(playStationFresh(), "status", "Discharging"), controllerInput(),
       "address:AA:BB:CC:DD:EE:FF", "ps-controller-battery-aa:bb:cc:dd:ee:ff", kind::kController,
       100, std::nullopt, DeviceState::discharging, true, "bluetooth", "AA:BB:CC:DD:EE:FF"},
      {"sony controller at 100 Unknown", "sony_controller_battery_00:11:22:33:44:55",
       playStationFresh(), std::nullopt, "address:00:11:22:33:44:55",
       "sony_controller_battery_00:11:22:33:44:55", kind::kController, std::nullopt, std::nullopt,
       DeviceState::unknown, true, "bluetooth", "00:11:22:33:44:55"},
      {"another device at 100 Unknown keeps it", "hid-0003:1532:0287.0004-battery",
       with(with(hidKeyboard(), "capacity", "100"), "status", "Unknown"), std::nullopt,
       "supply:hid-0003:1532:0287.0004-battery", "Razer BlackWidow V3 Mini", kind::kOther, 100,
       std::nullopt, DeviceState::unknown, true, "usb", std::nullopt},
      {"wacom pen of type USB", "wacom_battery_0", wacomPen(), std::nullopt,
       "supply:wacom_battery_0", "Wacom Intuos Pro M", kind::kPen, 35, std::nullopt,
       DeviceState::discharging, true, "usb", std::nullopt},
      {"bluetooth mouse, its address as serial", "hid-aa:bb:cc:dd:ee:0f-battery", bluetoothMouse(),
       mouseInput(), "address:AA:BB:CC:DD:EE:0F", "Bluetooth Mouse M336", kind::kMouse, 41,
       std::nullopt, DeviceState::discharging, true, "bluetooth", "AA:BB:CC:DD:EE:0F"},
      {"offline", "hidpp_battery_1", with(hidppMouse(), "online", "0"), std::nullopt,
       "serial:4089-a6-b1-c2", "MX Master 3", kind::kOther, std::nullopt, W::normal,
       DeviceState::discharging, false, "usb", std::nullopt},
      {"charging, capacity not a number, word Unknown", "hidpp_battery_2",
       with(with(with(hidppMouse(), "capacity", "7x"), "capacity_level", "Unknown"), "status",
            "Charging"),
       std::nullopt, "serial:4089-a6-b1-c2", "MX Master 3", kind::kOther, std::nullopt,
       std::nullopt, DeviceState::charging, true, "usb", std::nullopt},
      {"past 100, a word beside it", "hidpp_battery_3",
       with(with(with(hidppMouse(), "capacity", "101"), "capacity_level", "Critical"), "status",
            "Full"),
       std::nullopt, "serial:4089-a6-b1-c2", "MX Master 3", kind::kOther, std::nullopt, W::critical,
       DeviceState::full, true, "usb", std::nullopt},
      {"below 0, the word High", "hidpp_battery_5",
       with(with(hidppMouse(), "capacity", "-3"), "capacity_level", "High"), std::nullopt,
       "serial:4089-a6-b1-c2", "MX Master 3", kind::kOther, std::nullopt, W::high,
       DeviceState::discharging, true, "usb", std::nullopt},
      {"no model, an empty serial", "hidpp_battery_4",
       with(with(with(hidppMouse(), "model_name", ""), "serial_number", ""), "capacity", "0"),
       std::nullopt, "supply:hidpp_battery_4", "hidpp_battery_4", kind::kOther, 0, std::nullopt,
       DeviceState::discharging, true, "usb", std::nullopt},
  };
  for (const Row& r : rows) {
    TempDir dir;
    writeSupply(dir, "ps", r.supply, r.attributes);
    writeSupply(dir, "ps", "BAT0", chargeBasedBattery());
    if (r.input) writeInput(dir, "ps", r.supply, "input12", "device", *r.input);
    SysfsDevices source(dir.path() + "/ps");
    EXPECT_TRUE(source.look(kNow)) << r.name;
    const auto devices = source.devices();
    ASSERT_EQ(devices.size(), 1u) << r.name << ": the system battery is no device";
    const DeviceBattery& d = devices[0];
    EXPECT_EQ(d.id, r.id) << r.name;
    EXPECT_EQ(d.name, r.shownName) << r.name;
    EXPECT_EQ(d.kind, r.kind) << r.name;
    EXPECT_EQ(d.level, r.level) << r.name;
    EXPECT_EQ(d.word, r.word) << r.name;
    EXPECT_EQ(d.state, r.state) << r.name;
    EXPECT_EQ(d.connected, r.connected) << r.name;
    EXPECT_EQ(d.via, r.via) << r.name;
    EXPECT_EQ(d.address, r.address) << r.name;
    EXPECT_EQ(d.lastSeen, kNow) << r.name;
    EXPECT_FALSE(source.look(kNow)) << r.name << ": nothing new";
  }
}

// The kind from the input devices and sound cards beside a node, else from its name.
TEST(SysfsDevices, KindsFromWhatLiesBeside) {
  const InputDevice mouse{"m", "17", mouseInput().key, "3", "0"};
  const InputDevice keyboard{"k", "", keyboardInput().key, "0", "0"};
  const InputDevice keyboardWithPad{"k", "", keyboardInput().key, "3", "0"};
  const InputDevice pen{"p", "", penInput().key, "0", penInput().abs};
  const InputDevice touchWithoutPen{"t", "", "1c00 0 0 0 0 0", "0", "3"};
  const InputDevice controller{"c", "", controllerInput().key, "0", controllerInput().abs};
  // A headset's buttons: a few media keys, no letters.
  const InputDevice mediaKeys{"h", "", "1c0000 0 0 0 0 0 0 0 0 0 0 0 70000000000000", "0", "0"};
  const InputDevice fewLetters{"k", "", "7fffe0000", "0", "0"};  // bits 17..34: 14 letters
  const InputDevice relXOnly{"w", "", "0", "1", "0"};
  // Just enough letters, each row's first and last among them; one short, the keys beside set.
  const InputDevice twentyLetters{"k", "", "7f040c3ff0000", "0", "0"};
  const InputDevice nineteenLetters{"k", "", "808ffe7ff8000", "0", "0"};
  const struct {
    const char* name;
    std::string supply;
    NodeSurroundings around;
    const char* kind;
  } rows[] = {
      {"mouse", "hidpp_battery_0", {{mouse}, false}, kind::kMouse},
      {"keyboard", "hidpp_battery_0", {{keyboard}, false}, kind::kKeyboard},
      {"keyboard with a touchpad",
       "hidpp_battery_0",
       {{mouse, keyboardWithPad}, false},
       kind::kKeyboard},
      {"pen", "hid-x-battery", {{pen}, false}, kind::kPen},
      {"a touch surface is no pen", "hid-x-battery", {{touchWithoutPen}, false}, kind::kOther},
      {"controller", "hid-x-battery", {{mouse, controller}, false}, kind::kController},
      {"controller with sound", "hid-x-battery", {{controller}, true}, kind::kController},
      {"headset: sound, media keys", "hid-x-battery", {{mediaKeys}, true}, kind::kHeadset},
      {"media keys alone", "hid-x-battery", {{mediaKeys}, false}, kind::kOther},
      {"too few letters", "hid-x-battery", {{fewLetters}, false}, kind::kOther},
      {"a wheel alone", "hid-x-battery", {{relXOnly}, false}, kind::kOther},
      {"twenty letters", "hid-x-battery", {{twentyLetters}, false}, kind::kKeyboard},
      {"nineteen letters", "hid-x-battery", {{nineteenLetters}, false}, kind::kOther},
      {"ps by name", "ps-controller-battery-aa:bb:cc:dd:ee:ff", {}, kind::kController},
      {"sony by name", "sony_controller_battery_aa:bb:cc:dd:ee:ff", {}, kind::kController},
      {"wacom by name", "wacom_battery_1", {}, kind::kPen},
      {"hidpp without input", "hidpp_battery_3", {}, kind::kOther},
      {"a name inside another", "my-ps-controller-battery-1", {}, kind::kOther},
  };
  for (const auto& r : rows) EXPECT_EQ(kindOf(r.supply, r.around), r.kind) << r.name;
}

TEST(SysfsDevices, BitmapsAsTheKernelPrintsThem) {
  const struct {
    const char* bitmap;
    unsigned bit;
    bool set;
  } rows[] = {
      {"1", 0, true},        {"2", 0, false},   {"2", 1, true},
      {"1 0", 64, true},     {"1 0", 0, false}, {"8000000000000000", 63, true},
      {"1", 64, false},      {"", 0, false},    {"zz", 0, false},
      {"  1  0 ", 64, true}, {"10", 4, true},   {"10 0", 68, true},
  };
  for (const auto& r : rows) EXPECT_EQ(bitSet(r.bitmap, r.bit), r.set) << r.bitmap << " " << r.bit;
}

// A headset's sound card sits on a sibling interface of its HID device, as USB lays it out.
TEST(SysfsDevices, ASoundCardBesideTheNodeMakesAHeadset) {
  for (const char* at : {"usb1/1-1/1-1:1.0/sound/card1", "usb1/1-1/1-1:1.3/sound/card1",
                         "usb1/1-1/1-1:1.3/0003:1038:12AD.0006/sound/card1", ""}) {
    TempDir dir;
    const std::string hid = dir.path() + "/usb1/1-1/1-1:1.3/0003:1038:12AD.0006";
    std::filesystem::create_directories(hid + "/power_supply/hid-x-battery");
    if (*at) std::filesystem::create_directories(dir.path() + "/" + at);
    writeSupply(dir, "usb1/1-1/1-1:1.3/0003:1038:12AD.0006/power_supply", "hid-x-battery",
                {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "8"}});
    std::filesystem::create_directories(dir.path() + "/ps");
    std::filesystem::create_directory_symlink(hid + "/power_supply/hid-x-battery",
                                              dir.path() + "/ps/hid-x-battery");
    std::filesystem::create_directory_symlink(hid, hid + "/power_supply/hid-x-battery/device");
    SysfsDevices source(dir.path() + "/ps");
    source.look(kNow);
    ASSERT_EQ(source.devices().size(), 1u) << at;
    EXPECT_EQ(source.devices()[0].kind, *at ? kind::kHeadset : kind::kOther) << at;
  }
}

DeviceBattery device(const char* id, std::optional<int> level, bool connected, double seen,
                     const char* via = "usb") {
  DeviceBattery d;
  d.id = id;
  d.name = id;
  d.kind = kind::kMouse;
  d.level = level;
  d.connected = connected;
  d.lastSeen = seen;
  d.via = via;
  return d;
}

// A node gone or offline keeps its last level and when it was last seen, for a week.
TEST(SysfsDevices, GoneDevicesAreKeptForAWeek) {
  const double week = kForgottenAfterSeconds;
  const struct {
    const char* name;
    std::vector<DeviceBattery> before, read;
    double now;
    std::vector<DeviceBattery> after;
  } rows[] = {
      {"node gone", {device("a", 50, true, 100)}, {}, 200, {device("a", 50, false, 100)}},
      {"offline now",
       {device("a", 50, true, 100)},
       {device("a", 40, false, 200)},
       200,
       {device("a", 40, false, 100)}},
      {"offline from the start",
       {},
       {device("a", 40, false, 200)},
       200,
       {device("a", 40, false, 200)}},
      {"back",
       {device("a", 50, false, 100)},
       {device("a", 45, true, 900)},
       900,
       {device("a", 45, true, 900)}},
      {"a week gone", {device("a", 50, false, 100)}, {}, 100 + week, {device("a", 50, false, 100)}},
      {"past a week", {device("a", 50, false, 100)}, {}, 101 + week, {}},
      {"offline past a week",
       {device("a", 50, false, 100)},
       {device("a", 50, false, 9e9)},
       9e9,
       {device("a", 50, false, 100)}},
      {"in id order",
       {device("b", 1, true, 1)},
       {device("a", 2, true, 5)},
       5,
       {device("a", 2, true, 5), device("b", 1, false, 1)}},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(carryForward(r.before, r.read, r.now), r.after) << r.name;
  }
}

TEST(SysfsDevices, OneDeviceSeenTwiceIsMergedOnce) {
  DeviceBattery blue = device("address:AA:BB:CC:DD:EE:FF", std::nullopt, false, 50, "bluetooth");
  blue.name = "Ana's mouse";
  blue.kind = kind::kOther;
  DeviceBattery usb = device("address:AA:BB:CC:DD:EE:FF", std::nullopt, true, 40);
  usb.name = "MX Master 3";
  usb.model = "MX Master 3";
  usb.word = W::low;
  usb.state = DeviceState::discharging;
  DeviceBattery percent = usb;
  percent.word.reset();
  percent.level = 12;
  percent.state = DeviceState::charging;
  DeviceBattery other = device("serial:9", 70, true, 10);
  DeviceBattery staleBlue = blue, usbLow = percent, evil = blue;
  staleBlue.level = 37;
  usbLow.level = 5;
  usbLow.state = DeviceState::discharging;
  evil.name = "Evil\nLine\x1b]0;x\x07";
  struct Row {
    const char* name;
    std::vector<std::vector<DeviceBattery>> bySource;
    std::string shownName, kind, via;
    std::optional<int> level;
    std::optional<W> word;
    DeviceState state;
    bool connected;
    double lastSeen;
    std::optional<std::string> model;
  };
  const Row rows[] = {
      {"alias first, word from usb",
       {{blue}, {usb}},
       "Ana's mouse",
       kind::kMouse,
       "usb+bluetooth",
       std::nullopt,
       W::low,
       DeviceState::discharging,
       true,
       50,
       "MX Master 3"},
      {"model first",
       {{usb}, {blue}},
       "MX Master 3",
       kind::kMouse,
       "usb+bluetooth",
       std::nullopt,
       W::low,
       DeviceState::discharging,
       true,
       50,
       "MX Master 3"},
      {"a percent over a word",
       {{usb}, {percent}},
       "MX Master 3",
       kind::kMouse,
       "usb",
       12,
       std::nullopt,
       DeviceState::charging,
       true,
       40,
       "MX Master 3"},
      {"a percent kept over a later word",
       {{percent, usb}},
       "MX Master 3",
       kind::kMouse,
       "usb",
       12,
       std::nullopt,
       DeviceState::charging,
       true,
       40,
       "MX Master 3"},
      {"a source that no longer hears it gives way to one that does",
       {{staleBlue}, {usbLow}},
       "Ana's mouse",
       kind::kMouse,
       "usb+bluetooth",
       5,
       std::nullopt,
       DeviceState::discharging,
       true,
       50,
       "MX Master 3"},
      {"a name's control characters left out",
       {{evil}},
       "EvilLine]0;x",
       kind::kOther,
       "bluetooth",
       std::nullopt,
       std::nullopt,
       DeviceState::unknown,
       false,
       50,
       std::nullopt},
      {"one alone",
       {{blue}},
       "Ana's mouse",
       kind::kOther,
       "bluetooth",
       std::nullopt,
       std::nullopt,
       DeviceState::unknown,
       false,
       50,
       std::nullopt},
  };
  for (const Row& r : rows) {
    auto sources = r.bySource;
    sources.push_back({other});
    const auto merged = mergeDevices(sources);
    ASSERT_EQ(merged.size(), 2u) << r.name;
    const DeviceBattery& d = merged[0];
    EXPECT_EQ(d.name, r.shownName) << r.name;
    EXPECT_EQ(d.kind, r.kind) << r.name;
    EXPECT_EQ(d.via, r.via) << r.name;
    EXPECT_EQ(d.level, r.level) << r.name;
    EXPECT_EQ(d.word, r.word) << r.name;
    EXPECT_EQ(d.state, r.state) << r.name;
    EXPECT_EQ(d.connected, r.connected) << r.name;
    EXPECT_EQ(d.lastSeen, r.lastSeen) << r.name;
    EXPECT_EQ(d.model, r.model) << r.name;
    EXPECT_EQ(merged[1], other) << r.name;
  }
}

// The file is written at the first look (an empty list too) and then only on a change; a
// connected device's time seen moving on alone rewrites it only in steps.
TEST(SysfsDevices, TheFileIsWrittenOnlyOnChange) {
  DeviceBattery mouse = device("a", 50, true, 1000);
  auto later = [](DeviceBattery d, double seen) {
    d.lastSeen = seen;
    return d;
  };
  DeviceBattery offline = mouse;
  offline.connected = false;
  const struct {
    const char* name;
    std::optional<std::vector<DeviceBattery>> written;
    std::vector<DeviceBattery> now;
    bool write;
  } rows[] = {
      {"nothing written yet, no devices", std::nullopt, {}, true},
      {"no devices still", std::vector<DeviceBattery>{}, {}, false},
      {"one came", std::vector<DeviceBattery>{}, {mouse}, true},
      {"the same", std::vector<DeviceBattery>{mouse}, {mouse}, false},
      {"seen again soon",
       std::vector<DeviceBattery>{mouse},
       {later(mouse, 1000 + kLastSeenStep - 1)},
       false},
      {"seen again a step later",
       std::vector<DeviceBattery>{mouse},
       {later(mouse, 1000 + kLastSeenStep)},
       true},
      {"went offline", std::vector<DeviceBattery>{mouse}, {offline}, true},
      {"offline, seen time moved",
       std::vector<DeviceBattery>{offline},
       {later(offline, 1001)},
       false},
      {"level moved", std::vector<DeviceBattery>{mouse}, {device("a", 49, true, 1000)}, true},
      {"one more", std::vector<DeviceBattery>{mouse}, {mouse, device("b", 1, true, 1)}, true},
  };
  for (const auto& r : rows) EXPECT_EQ(worthWriting(r.written, r.now), r.write) << r.name;

  DeviceRoot root;
  ScopedEnvironment env;
  env.set("SIM_DEVICE_ROOT", root.path());
  const std::string path = root.path() + brimwell::kDevicesStatusPath;
  DevicesFile file(brimwell::kDevicesStatusPath);
  std::string why;
  ASSERT_TRUE(file.write({}, 5, &why)) << why;
  const auto inode = [&] {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  };
  const auto first = inode();
  ASSERT_TRUE(file.write({}, 6, &why));
  EXPECT_EQ(inode(), first) << "not written again";
  DeviceBattery full = device("serial:4089", std::nullopt, false, 1234.5, "usb+bluetooth");
  full.word = W::critical;
  full.state = DeviceState::charging;
  full.model = "MX Master 3";
  full.serial = "4089";
  full.address = "AA:BB:CC:DD:EE:FF";
  const DeviceBattery top = device("serial:top", 100, true, 7), empty = device("e", 0, false, 7);
  ASSERT_TRUE(file.write({mouse, full, top, empty}, 7, &why));
  EXPECT_NE(inode(), first);
  // What a host after this one starts from, the levels at both ends too.
  EXPECT_EQ(DevicesFile(brimwell::kDevicesStatusPath).lastWritten(),
            (std::vector<DeviceBattery>{mouse, full, top, empty}));
  ASSERT_TRUE(file.write({mouse}, 8, &why));
  const brimwell::Plist written = brimwell::readDictionaryFile(path, &why);
  ASSERT_TRUE(written.isDictionary()) << why;
  ASSERT_TRUE(written.item(brimwell::device_key::kDevices));
  EXPECT_EQ(written.item(brimwell::device_key::kDevices)->size(), 1u);

  // A time last seen that is not a time, or none, is no time.
  root.write(brimwell::kDevicesStatusPath,
             plistXml("<key>Devices</key><array>"
                      "<dict><key>Id</key><string>x</string></dict>"
                      "<dict><key>Id</key><string>y</string><key>LastSeen</key><string>soon"
                      "</string></dict></array>"));
  const auto read = DevicesFile(brimwell::kDevicesStatusPath).lastWritten();
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].lastSeen, 0);
  EXPECT_EQ(read[1].lastSeen, 0);

  // A write that fails names the file.
  std::filesystem::remove(path);
  std::filesystem::create_directories(path + "/in-the-way");
  EXPECT_FALSE(DevicesFile(brimwell::kDevicesStatusPath).write({mouse}, 9, &why));
  EXPECT_EQ(why.rfind(path + ": ", 0), 0u) << why;
}

// What a restarted host knows of a device's last sighting: a source that has not seen it in this
// run (BlueZ lists a device that stayed away, seen at 0) takes nothing back from the record, and
// a record from the future (a clock set back) is now.
struct Listing : DeviceSource {
  std::vector<DeviceBattery> list;
  bool gone = false;
  std::vector<DeviceBattery> devices() const override { return list; }
  bool away() const override { return gone; }
};

TEST(SysfsDevices, LastSeenNeitherGoesBackNorAhead) {
  const struct {
    const char* name;
    double recorded, told;  // in the file; by the source now (-1: the source says nothing)
    double expected;
  } rows[] = {
      {"told 0: the record's", kNow - 3600, 0, kNow - 3600},
      {"told later: that", kNow - 3600, kNow - 60, kNow - 60},
      {"recorded in the future, told nothing: now", kNow + 1e6, -1, kNow},
      {"recorded in the future, told 0: now", kNow + 1e6, 0, kNow},
  };
  for (const auto& r : rows) {
    DeviceRoot root;
    ScopedEnvironment env;
    env.set("SIM_DEVICE_ROOT", root.path());
    std::string why;
    ASSERT_TRUE(DevicesFile(brimwell::kDevicesStatusPath)
                    .write({device("address:A", 40, false, r.recorded)}, kNow, &why))
        << why;
    Listing bluez;
    if (r.told >= 0) bluez.list = {device("address:A", 40, false, r.told, "bluetooth")};
    DeviceWatch watch(
        root.path() + "/no-such-folder", [](const std::string&) {}, [](const std::string&) {});
    watch.addSource(&bluez);
    watch.sourceChanged(kNow);
    ASSERT_EQ(watch.devices().size(), 1u) << r.name;
    EXPECT_EQ(watch.devices()[0].lastSeen, r.expected) << r.name;
  }
}

// While BlueZ is away only what it told last is kept quiet: a device it had already let go that
// comes back another way is said to come.
TEST(SysfsDevices, AnAwaySourceKeepsQuietOnlyWhatItToldLast) {
  DeviceRoot root;
  ScopedEnvironment env;
  env.set("SIM_DEVICE_ROOT", root.path());
  std::vector<std::string> said;
  DeviceWatch watch(
      root.path() + "/no-such-folder", [&](const std::string& line) { said.push_back(line); },
      [](const std::string&) {});
  Listing bluez, other;
  watch.addSource(&bluez);
  watch.addSource(&other);
  bluez.list = {device("A", 50, true, kNow), device("B", 50, true, kNow)};
  watch.sourceChanged(kNow);
  bluez.list = {device("A", 50, true, kNow + 1)};
  watch.sourceChanged(kNow + 1);
  bluez.gone = true;
  other.list = {device("B", 40, true, kNow + 2)};
  watch.sourceChanged(kNow + 2);
  EXPECT_EQ(said, (std::vector<std::string>{
                      "device added: mouse A (usb)", "device added: mouse B (usb)",
                      "device gone: mouse B (usb)", "device added: mouse B (usb)"}));
}

// Said against what was said before: a device whose source is away (BlueZ restarting) neither
// came nor went meanwhile.
TEST(SysfsDevices, ComingAndGoingIsSaidOnce) {
  DeviceBattery mouse = device("a", 50, true, 1);
  mouse.name = "MX Master 3";
  DeviceBattery away = mouse;
  away.connected = false;
  DeviceBattery other = device("b", 20, true, 1);
  DeviceBattery bluez = device("c", 40, true, 1), unknown = device("d", 40, true, 1);
  bluez.name = "Bluetooth Mouse M336";
  bluez.via = "bluetooth";
  unknown.kind = "other";
  const struct {
    const char* name;
    std::vector<DeviceBattery> before, now;
    std::vector<std::string> lines;
    std::set<std::string> quiet = {};
  } rows[] = {
      {"came", {}, {mouse}, {"device added: mouse MX Master 3 (usb)"}},
      {"still there", {mouse}, {mouse}, {}},
      {"went offline", {mouse}, {away}, {"device gone: mouse MX Master 3 (usb)"}},
      {"dropped after", {away}, {}, {}},
      {"came back", {away}, {mouse}, {"device added: mouse MX Master 3 (usb)"}},
      {"offline from the start", {}, {away}, {}},
      {"node gone", {mouse}, {}, {"device gone: mouse MX Master 3 (usb)"}},
      {"its source away", {mouse, other}, {away, other}, {}, {"a"}},
      {"its source away, another went",
       {mouse, other},
       {away},
       {"device gone: mouse b (usb)"},
       {"a"}},
      {"new while its source is away",
       {},
       {mouse},
       {"device added: mouse MX Master 3 (usb)"},
       {"a"}},
      {"said offline, its source away", {away}, {mouse}, {}, {"a"}},
      {"the kind only where it adds to the name",
       {bluez, unknown},
       {},
       {"device gone: Bluetooth Mouse M336 (bluetooth)", "device gone: d (usb)"}},
  };
  for (const auto& r : rows) {
    const std::vector<DeviceBattery> said = asSaid(r.before, r.now, r.quiet);
    EXPECT_EQ(comingAndGoing(r.before, said), r.lines) << r.name;
    EXPECT_EQ(said.size(), r.now.size()) << r.name;
  }
}

}  // namespace
}  // namespace host::devices
