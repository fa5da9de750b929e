#include <gtest/gtest.h>

#include "common/plist.h"
#include "tests/support/temp_dir.h"
#include "viewer/devices/device_text.h"
#include "viewer/devices/known_device.h"

namespace {

constexpr double kNow = 1'800'000'000;

// The devices file's entries as the host writes them, and as a damaged or foreign file may not.
std::vector<KnownDevice> devicesIn(const std::string& entries) {
  return devicesOf(brimwell::Plist::fromMemory(
      testing_support::plistXml("<key>Devices</key><array>" + entries + "</array>")));
}

std::string device(const std::string& keys, const std::string& name = "MX") {
  return "<dict><key>Id</key><string>serial:1</string><key>Name</key><string>" + name +
         "</string>" + keys + "</dict>";
}

// Each device's line on the table: a wrong type drops only its key; a device not connected
// never shows a level; the kind is said only where it adds to the name.
TEST(Devices, EachDevicesLineFromItsEntry) {
  const std::string mouse = "<key>Kind</key><string>mouse</string>";
  const struct {
    const char* name;
    std::string keys;
    std::string caption, value;
    DeviceUrgency urgency;
    std::string deviceName = "MX";
  } cases[] = {
      {"a mouse that tells only a word",
       "<key>Kind</key><string>mouse</string><key>LevelWord</key><string>Normal</string>"
       "<key>State</key><string>discharging</string>",
       "Mouse MX", "Normal, discharging", DeviceUrgency::none},
      {"a headset at 8 %",
       "<key>Kind</key><string>headset</string><key>Level</key><integer>8</integer>", "Headset MX",
       "8 %", DeviceUrgency::low},
      {"at 10 %, the low level", "<key>Level</key><integer>10</integer>", "MX", "10 %",
       DeviceUrgency::low},
      {"at 11 %", "<key>Level</key><integer>11</integer>", "MX", "11 %", DeviceUrgency::none},
      {"at 5 %, the critical level", "<key>Level</key><integer>5</integer>", "MX", "5 %",
       DeviceUrgency::critical},
      {"at 6 %", "<key>Level</key><integer>6</integer>", "MX", "6 %", DeviceUrgency::low},
      {"low while charging",
       "<key>Level</key><integer>3</integer><key>State</key>"
       "<string>charging</string>",
       "MX", "3 %, charging", DeviceUrgency::none},
      {"low and full",
       "<key>Level</key><integer>3</integer><key>State</key>"
       "<string>full</string>",
       "MX", "3 %, full", DeviceUrgency::none},
      {"the word Low", "<key>LevelWord</key><string>Low</string>", "MX", "Low", DeviceUrgency::low},
      {"the word Critical", "<key>LevelWord</key><string>Critical</string>", "MX", "Critical",
       DeviceUrgency::critical},
      {"a controller before its first report", "<key>Kind</key><string>controller</string>",
       "Controller MX", "unknown", DeviceUrgency::none},
      {"a keyboard last seen 3 h ago",
       "<key>Kind</key><string>keyboard</string><key>Level</key><integer>4</integer>"
       "<key>Connected</key><false/><key>LastSeen</key><real>1799989140</real>"
       "<key>State</key><string>discharging</string>",
       "Keyboard MX", "last seen 3 h ago", DeviceUrgency::none},
      {"gone 59 s ago",
       "<key>Connected</key><false/><key>LastSeen</key><integer>1799999941"
       "</integer>",
       "MX", "last seen a moment ago", DeviceUrgency::none},
      {"gone a minute ago",
       "<key>Connected</key><false/><key>LastSeen</key><integer>1799999940"
       "</integer>",
       "MX", "last seen 1 min ago", DeviceUrgency::none},
      {"gone an hour ago",
       "<key>Connected</key><false/><key>LastSeen</key><integer>1799996400"
       "</integer>",
       "MX", "last seen 1 h ago", DeviceUrgency::none},
      {"gone a day ago",
       "<key>Connected</key><false/><key>LastSeen</key><integer>1799913600"
       "</integer>",
       "MX", "last seen 1 d ago", DeviceUrgency::none},
      {"gone two days ago",
       "<key>Connected</key><false/><key>LastSeen</key><integer>1799827200"
       "</integer>",
       "MX", "last seen 2 d ago", DeviceUrgency::none},
      {"seen after now, by a clock set back",
       "<key>Connected</key><false/><key>LastSeen</key>"
       "<real>1800000500</real>",
       "MX", "last seen a moment ago", DeviceUrgency::none},
      {"not connected, never seen", "<key>Connected</key><false/>", "MX", "not connected",
       DeviceUrgency::none},
      {"not connected, seen at no number",
       "<key>Connected</key><false/><key>LastSeen</key><string>now</string>", "MX", "not connected",
       DeviceUrgency::none},
      {"wrong types drop their keys",
       "<key>Kind</key><integer>1</integer><key>Level</key><string>64</string><key>LevelWord"
       "</key><string>Half</string><key>State</key><string>draining</string><key>Connected"
       "</key><string>no</string><key>LastSeen</key><string>now</string>",
       "MX", "unknown", DeviceUrgency::none},
      {"a level past 100 or below 0 is none",
       "<key>Level</key><integer>101</integer><key>LevelWord</key><string>High</string>", "MX",
       "High", DeviceUrgency::none},
      {"a negative level", "<key>Level</key><integer>-1</integer>", "MX", "unknown",
       DeviceUrgency::none},
      {"the bounds", "<key>Level</key><integer>100</integer>", "MX", "100 %", DeviceUrgency::none},
      {"empty", "<key>Level</key><integer>0</integer>", "MX", "0 %", DeviceUrgency::critical},
      {"a name that says its kind", mouse, "Bluetooth Mouse M336", "unknown", DeviceUrgency::none,
       "Bluetooth Mouse M336"},
      {"in another case, at the end", "<key>Kind</key><string>keyboard</string>", "K380 KEYBOARD",
       "unknown", DeviceUrgency::none, "K380 KEYBOARD"},
      {"at the start, before a mark", mouse, "Mouse-2", "unknown", DeviceUrgency::none, "Mouse-2"},
      {"in brackets", "<key>Kind</key><string>pen</string>", "Wacom (Pen)", "unknown",
       DeviceUrgency::none, "Wacom (Pen)"},
      {"inside a word it says nothing", mouse, "Mouse Mousepad", "unknown", DeviceUrgency::none,
       "Mousepad"},
      {"nor with a digit beside it", mouse, "Mouse M2mouse", "unknown", DeviceUrgency::none,
       "M2mouse"},
      {"at a word's end", "<key>Kind</key><string>pen</string>", "Pen Open", "unknown",
       DeviceUrgency::none, "Open"},
      {"another kind's word", "<key>Kind</key><string>headset</string>", "Headset Mouse", "unknown",
       DeviceUrgency::none, "Mouse"},
      {"a name only the kind", mouse, "mouse", "unknown", DeviceUrgency::none, "mouse"},
      {"the kind's letters but its first", mouse, "Mouse House", "unknown", DeviceUrgency::none,
       "House"},
      {"a letter or digit at either edge of each range", "<key>Kind</key><string>pen</string>",
       "Pen aPen Penz 0Pen Pen9 APen PenZ", "unknown", DeviceUrgency::none,
       "aPen Penz 0Pen Pen9 APen PenZ"},
  };
  for (const auto& c : cases) {
    const auto devices = devicesIn(device(c.keys, c.deviceName));
    ASSERT_EQ(devices.size(), 1u) << c.name;
    EXPECT_EQ(deviceCaption(devices[0]), c.caption) << c.name;
    EXPECT_EQ(deviceValue(devices[0], kNow), c.value) << c.name;
    EXPECT_EQ(deviceUrgency(devices[0]), c.urgency) << c.name;
  }
}

// A file that is not the host's devices file lists nothing; an entry without a name or an id
// is skipped, one with only an id is named by it.
TEST(Devices, WhatAFileLists) {
  const struct {
    const char* name;
    std::string body;
    std::vector<std::string> names;
  } cases[] = {
      {"no Devices", "<key>Other</key><array/>", {}},
      {"Devices not an array", "<key>Devices</key><string>mouse</string>", {}},
      {"entries that are no dictionaries, or nameless",
       "<key>Devices</key><array><string>x</string><dict/><dict><key>Id</key><string>supply:a"
       "</string></dict><dict><key>Name</key><string>B</string></dict></array>",
       {"supply:a", "B"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> names;
    for (const KnownDevice& d :
         devicesOf(brimwell::Plist::fromMemory(testing_support::plistXml(c.body))))
      names.push_back(d.name);
    EXPECT_EQ(names, c.names) << c.name;
  }
  EXPECT_TRUE(devicesOf(brimwell::Plist::fromMemory("<plist><array/></plist>")).empty());
}

// --device: the name in any case first, else the first of the kind.
TEST(Devices, TheDeviceABarAsksFor) {
  const auto devices = devicesIn(
      "<dict><key>Name</key><string>Mouse</string><key>Kind</key><string>keyboard"
      "</string></dict><dict><key>Name</key><string>MX Master 3</string><key>Kind"
      "</key><string>mouse</string></dict><dict><key>Name</key><string>G305</string>"
      "<key>Kind</key><string>mouse</string></dict>");
  const struct {
    const char* query;
    std::optional<std::string> found;
  } cases[] = {
      {"mx MASTER 3", "MX Master 3"}, {"mouse", "Mouse"},
      {"keyboard", "Mouse"},          {"MOUSE", "Mouse"},
      {"headset", std::nullopt},      {"MX", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto d = findDevice(devices, c.query);
    EXPECT_EQ(d ? std::optional(d->name) : std::nullopt, c.found) << c.query;
  }
  // Where none is, what there is: named as a bar may ask for it.
  EXPECT_EQ(noSuchDeviceNote(devices, "head\"set"),
            "no device \"head\\\"set\" by name or kind; the host lists Keyboard \"Mouse\", "
            "Mouse \"MX Master 3\", Mouse \"G305\"");
  EXPECT_EQ(noSuchDeviceNote({}, "pen"), "no device \"pen\" by name or kind; the host lists none");
}

// A caption longer than its row's room is cut there by cells, with an ellipsis, never inside a
// character nor between one and its mark; a wide character that would take the ellipsis's cell
// is left out whole.
TEST(Devices, ACaptionTooLongForItsRowIsCut) {
  const struct {
    const char* name;
    std::string caption, value;
    int rowCells;
    std::string shown;
  } cases[] = {
      {"fits", "Mouse MX", "8 %", 20, "Mouse MX"},
      {"fills its room", "Mouse 123456", "8 %", 20, "Mouse 123456"},
      {"a cell too long", "Mouse 1234567", "8 %", 20, "Mouse 12345\u2026"},
      {"a longer value, less room", "Mouse 123456", "18 %", 20, "Mouse 1234\u2026"},
      {"wide characters, none halved", "Mouse \u9f20\u6807\u9f20\u6807\u9f20\u6807", "8 %", 20,
       "Mouse \u9f20\u6807\u2026"},
      {"wide characters to the cell", "Mouse \u9f20\u6807\u9f20\u6807\u9f20\u6807", "8 %", 21,
       "Mouse \u9f20\u6807\u9f20\u2026"},
      {"Hangul and fullwidth", "Pen \uac00\uff21\uff22", "8 %", 17, "Pen \uac00\uff21\u2026"},
      {"the last of the wide", "Pen \ud7a3\ud7a3\ud7a3\ud7a3", "8 %", 17, "Pen \ud7a3\ud7a3\u2026"},
      {"emoji of four bytes", "Pen \U0001f50b\U0001f50b\U0001f50bx", "8 %", 17,
       "Pen \U0001f50b\U0001f50b\u2026"},
      {"a mark stays with its letter", "Mouse Cafe\u0301XY", "8 %", 19, "Mouse Cafe\u0301\u2026"},
      {"marks take no cell", "Mouse Cafe\u0301\u0301X", "8 %", 19, "Mouse Cafe\u0301\u0301X"},
      {"a byte of no character is a cell", "Mouse \xff\xff\xff\xff\xff\xff\xff", "8 %", 20,
       "Mouse \xff\xff\xff\xff\xff\u2026"},
      {"room for the ellipsis only", "Mouse", "8 %", 9, "\u2026"},
      {"no room", "Mouse", "8 %", 8, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(deviceRowCaption(c.caption, c.value, c.rowCells), c.shown) << c.name;
  }
}

}  // namespace
