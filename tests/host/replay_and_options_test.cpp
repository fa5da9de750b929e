#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <regex>

#include "common/value_conversions.h"
#include "host/app/host_options.h"
#include "host/app/service_options.h"
#include "host/sources/replay_source.h"
#include "tests/support/binary_plist.h"
#include "tests/support/temp_dir.h"

namespace host {
namespace {

using testing_support::TempDir;

const char* kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">";

std::string many(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(Replay, DelaysScaledBySpeedOneStatusATick) {
  TempDir dir;
  const std::string xml =
      std::string(kHeader) +
      "<array>"
      "<dict><key>delay</key><real>0</real><key>status</key><dict><key>N</"
      "key><integer>1</integer></dict></dict>"
      "<dict><key>N</key><integer>2</integer></dict>"  // bare form, no delay
      "<dict><key>delay</key><integer>60</integer><key>status</key><dict><key>N</"
      "key><integer>3</integer></dict></dict>"
      "</array></plist>";
  for (const std::string& recording : {xml, testing_support::binaryPlistOf(xml)}) {
    std::string why;
    auto replay = loadReplay(dir.write("r.plist", recording), 60, why);
    ASSERT_TRUE(replay) << why;
    EXPECT_EQ(replay->plannedSeconds(), 60);
    std::vector<std::pair<int, int>> seen;  // (tick, N)
    for (int tick = 1; tick <= 20 && !replay->finished(); ++tick) {
      if (auto s = replay->tick(0.25)) seen.push_back({tick, brimwell::intValueOf(s->item("N"))});
    }
    // 60 recorded seconds at 60x is one real second: four ticks after the second one.
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {6, 3}}));
    EXPECT_TRUE(replay->finished());
  }
}

// A recording changed in place after it was checked: what was read is delivered, then the
// replay ends with one notice.
TEST(Replay, ARecordingCutShortWhileReplayedEndsThere) {
  TempDir dir;
  std::string xml = std::string(kHeader) + "<array>";
  for (int i = 0; i < 8000; ++i) xml += "<dict><key>N</key><integer>1</integer></dict>";
  const std::string path = dir.write("r.plist", xml + "</array></plist>");
  std::string why;
  auto replay = loadReplay(path, 1, why);
  ASSERT_TRUE(replay) << why;
  ASSERT_EQ(::truncate(path.c_str(), 100000), 0);
  size_t delivered = 0;
  while (!replay->finished() && replay->tick(0.25)) ++delivered;
  EXPECT_TRUE(replay->finished());
  EXPECT_GT(delivered, 0u);
  EXPECT_LT(delivered, 8000u);
  EXPECT_EQ(
      replay->takeNotices(),
      std::vector<std::string>{path + " changed while it was replayed (cannot read " + path +
                               ": it became shorter while it was read): the replay ends here"});
}

TEST(Replay, RejectsWhatIsNotARecording) {
  TempDir dir;
  const struct {
    const char* name;
    std::string body;
    const char* why;
  } cases[] = {
      {"dict at top", "<dict/>", "is not a property-list array"},
      {"element not a dict", "<array><integer>1</integer></array>",
       "element 0 is not a dictionary"},
      {"negative delay", "<array><dict><key>delay</key><real>-1</real></dict></array>",
       "element 0 has a bad delay"},
      {"string delay", "<array><dict><key>delay</key><string>1</string></dict></array>",
       "bad delay"},
      {"status not a dict", "<array><dict><key>status</key><true/></dict></array>",
       "not a dictionary"},
      {"junk after the array", "<array><dict/></array></plist>junk<plist>",
       "is not a property list: line 1: "},
      {"a status of 4097 values",
       "<array><dict><key>a</key><array>" + many("<true/>", 4095) + "</array></dict></array>",
       "element 0 is larger than 256 KiB or 4096 values"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.write("bad.plist", std::string(kHeader) + c.body + "</plist>");
    std::string why;
    EXPECT_FALSE(loadReplay(path, 1, why)) << c.name;
    EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
  }
  std::string why;
  EXPECT_FALSE(loadReplay(dir.path() + "/absent.plist", 1, why));
}

// A recording written as the run goes, whole or up to its size, plays back what was delivered;
// nothing stands at its name before the end, and a run that ends without writing it leaves
// nothing behind.
TEST(Replay, ARecordingPlaysBackWhatWasDelivered) {
  const struct {
    size_t limit;
    size_t kept;  // statuses; all 40 delivered when the recording is not stopped
    const char* said;
    bool written;
  } cases[] = {
      {kMaxRecordingBytes, 40, "", true},
      {10 * 1024, 7,
       "recording stopped at 10 KiB, the most a replay takes: REC keeps the first 7 "
       "statuses",
       true},
      {kMaxRecordingBytes, 0, "", false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.path() + "/rec.plist";
    SimulatedSource sim(50, true, 60, 1);
    std::optional<Recorder> recorder(std::in_place, path, c.limit);
    std::vector<std::pair<double, std::string>> delivered;  // when, what
    std::string said;
    for (int i = 0; i < 400 && delivered.size() < 40; ++i) {
      if (auto s = sim.tick(0.25)) {
        if (auto line = recorder->add(sim.simulatedSeconds(), *s)) said += *line;
        if (delivered.size() < c.kept) delivered.push_back({sim.simulatedSeconds(), s->toXml()});
      }
    }
    EXPECT_FALSE(std::filesystem::exists(path)) << c.limit;
    std::string why;
    if (!c.written) {
      recorder.reset();
      EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
      continue;
    }
    ASSERT_TRUE(recorder->write(why)) << why;
    EXPECT_EQ(said, std::regex_replace(c.said, std::regex("REC"), path));
    auto replay = loadReplay(path, 60, why);
    ASSERT_TRUE(replay) << why;
    std::vector<std::pair<double, std::string>> replayed;
    while (!replay->finished()) {
      if (auto s = replay->tick(0.25)) replayed.push_back({replay->simulatedSeconds(), s->toXml()});
    }
    EXPECT_EQ(replayed, delivered) << c.limit;
  }
}

// springboard-sim's command lines, and brimwelld's (service): the machine's own batteries,
// headless, with desktop alerts unless turned off, and none of the simulator's options.
TEST(HostOptions, CommandLines) {
  const struct {
    std::vector<const char*> args;
    bool ok;
    const char* why;
    bool service = false;
    const char* sysfs = "/sys/class/power_supply";  // the folder a good service line reads
    bool desktop = true;
  } cases[] = {
      {{}, true, ""},
      {{"--source", "replay=r.plist", "--speed", "2"}, true, ""},
      {{"--virtual-time", "--duration", "60"}, true, ""},
      {{"--source", "replay=r.plist", "--virtual-time"}, true, ""},
      {{"--virtual-time"}, false, "needs --duration"},
      {{"--source", "usb"}, false, "--source takes sim, replay=FILE or sysfs[=DIR]"},
      {{"--source", "sysfs"}, true, ""},
      {{"--source", "sysfs=/tmp/ps", "--virtual-time", "--duration", "2"}, true, ""},
      {{"--source", "sysfs="}, false, "--source takes"},
      {{"--source", "replay="}, false, "--source takes"},
      {{"--record", ""}, false, "--record takes a file name"},
      {{"--source", "sysfs", "--charge-state", "/tmp/cs"}, true, ""},
      {{"--charge-state", ""}, false, "--charge-state takes a folder"},
      {{"--speed", "0"}, false, "--speed takes"},
      {{"--speed", "fast"}, false, "--speed takes"},
      {{"--start", "101"}, false, "--start takes"},
      {{"--charger", "maybe"}, false, "--charger takes on or off"},
      {{"--seed", "1.5"}, false, "--seed takes"},
      {{"--duration"}, false, "--duration needs a value"},
      {{"--script", "s.txt", "--source", "sim"}, false, "takes no source"},
      {{"--frobnicate"}, false, "unknown argument '--frobnicate'"},
      {{"-xh"}, false, "unknown option '-x' in '-xh'"},
      {{"-hx"}, false, "unknown option '-x' in '-hx'"},
      {{"--help=1"}, false, "unknown argument '--help=1'"},
      {{}, true, "", true},
      {{"--sysfs", "/tmp/ps", "--poll", "0.1", "--log-status"}, true, "", true, "/tmp/ps"},
      {{"--no-desktop-alerts", "--duration", "2"},
       true,
       "",
       true,
       "/sys/class/power_supply",
       false},
      {{"--sysfs", ""}, false, "--sysfs takes a folder", true},
      {{"--charge-state", "/tmp/cs"}, true, "", true, "/sys/class/power_supply"},
      {{"--charge-state", ""}, false, "--charge-state takes a folder", true},
      {{"--poll", "0.09"}, false, "--poll takes seconds from 0.1 to 86400, not '0.09'", true},
      {{"--poll", "86401"}, false, "--poll takes seconds", true},
      {{"--duration", "-1"}, false, "--duration takes seconds", true},
      {{"--duration", "1000000001"}, false, "--duration takes seconds", true},
      {{"--source", "sim"}, false, "unknown argument '--source'", true},
      {{"--virtual-time"}, false, "unknown argument '--virtual-time'", true},
      {{"--desktop-alerts"}, false, "unknown argument", true},
      {{"stray"}, false, "unknown argument 'stray'", true},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv{c.service ? "brimwelld" : "springboard-sim"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    HostOptions options;
    std::string why;
    const int argc = static_cast<int>(argv.size());
    EXPECT_EQ(c.service ? parseServiceOptions(argc, argv.data(), options, why)
                        : parseHostOptions(argc, argv.data(), options, why),
              c.ok)
        << (c.args.empty() ? "" : c.args[0]) << why;
    if (!c.ok) {
      EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
    const auto given = [&](const char* option) {
      return std::find(c.args.begin(), c.args.end(), std::string(option)) != c.args.end();
    };
    if (c.ok) {
      EXPECT_EQ(options.pollSeconds.has_value(), given("--poll"));
      EXPECT_EQ(options.chargeState,
                given("--charge-state") ? std::optional<std::string>("/tmp/cs") : std::nullopt);
      EXPECT_EQ(options.logStatus, given("--log-status"));
      EXPECT_EQ(options.duration > 0, given("--duration"));
      EXPECT_EQ(options.laptopService, c.service);
      EXPECT_EQ(options.headless && options.history, c.service);
      EXPECT_EQ(options.desktopAlerts, c.service && c.desktop);
    }
    if (c.ok && c.service) {
      EXPECT_EQ(options.sysfs, c.sysfs);
      EXPECT_EQ(options.effectiveSpeed(), 1);
    }
  }
  HostOptions defaults;
  EXPECT_EQ(defaults.effectiveSpeed(), 60);
  defaults.replay = "r.plist";
  EXPECT_EQ(defaults.effectiveSpeed(), 1);
}

}  // namespace
}  // namespace host
