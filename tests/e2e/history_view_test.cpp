// The built viewer on the battery's history: --history, --health and the graph screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "tests/support/device_root.h"
#include "tests/support/recordings.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::runProcess;
using testing_support::TempDir;

// A history of `days` of minute samples, written as the host writes them.
void historyOfDays(const std::string& path, int days) {
  history::Failure failure;
  std::string said;
  auto store = history::HistoryStore::openForWriting(path, failure, said);
  ASSERT_TRUE(store) << failure.why;
  std::vector<history::Sample> samples;
  for (int minute = 0; minute < days * 1440; ++minute) {
    samples.push_back({1.8e9 + minute * 60, 50, -8.0, "discharging", false, 180.0, std::nullopt});
  }
  ASSERT_TRUE(store->addSamples(samples, failure)) << failure.why;
}

TEST(HistoryView, CommandLineAndNoHistoryYet) {
  TempDir root;
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out, err;  // err "?": one line, whatever it says
  } cases[] = {
      {{"--history"},
       0,
       "time,level,power_W,state,time_to_empty_min,time_to_full_min\n",
       "no history yet\n"},
      {{"--history", "--json", "--since", "24h"}, 0, "[]\n", "no history yet\n"},
      {{"--health", "--format", "json"}, 0, "[]\n", "no history yet\n"},
      {{"--health"},
       0,
       "date,full_charge_capacity_mAh,design_capacity_mAh,health,cycle_count,serial\n",
       "no history yet\n"},
      {{"--history", "--format", "csv", "--since", "10m"},
       0,
       "time,level,power_W,state,time_to_empty_min,time_to_full_min\n",
       "no history yet\n"},
      {{"--health", "--format=csv"},
       0,
       "date,full_charge_capacity_mAh,design_capacity_mAh,health,cycle_count,serial\n",
       "no history yet\n"},
      {{"--sleeps", "--since", "7d"},
       0,
       "start,end,duration_s,level_before,level_after,energy_lost_Wh,mean_mW,percent_per_hour,"
       "state,external_power,hw_sleep_s,wakeup\n",
       "no history yet\n"},
      {{"--sleeps", "--format", "json"}, 0, "[]\n", "no history yet\n"},
      {{"--sleeps", "--health"}, 2, "", "?"},
      {{"--sleeps", "--once"}, 2, "", "?"},
      {{"--format", "csv"}, 2, "", "?"},
      {{"--history", "--json", "--format", "csv"}, 2, "", "?"},
      {{"--history", "--since", "1w"}, 2, "", "?"},
      {{"--history", "--since=0d"}, 2, "", "?"},
      {{"--history", "--since"},
       2,
       "",
       "BrimwellViewer: --since takes a number of minutes, hours or days (10m, 24h, 7d) (try "
       "--help)\n"},
      {{"--history", "--format", "csv", "--format", "json"},
       2,
       "",
       "BrimwellViewer: --format is given twice: choose one (try --help)\n"},
      {{"--history", "--format"},
       2,
       "",
       "BrimwellViewer: --format needs one of json, waybar, i3blocks, polybar, csv (try --help)\n"},
      {{"--since", "7d"}, 2, "", "?"},
      {{"--health", "--since", "7d"}, 2, "", "?"},
      {{"--history", "--health"}, 2, "", "?"},
      {{"--history", "--follow"}, 2, "", "?"},
      {{"--history", "--once"}, 2, "", "?"},
      {{"--history", "--format", "waybar"}, 2, "", "?"},
  };
  for (const auto& c : cases) {
    const auto result = runProcess(BRIMWELL_VIEWER, c.args, {{"SIM_DEVICE_ROOT", root.path()}});
    const std::string name = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
    EXPECT_EQ(result.exitCode, c.exitCode) << name;
    EXPECT_EQ(result.out, c.out) << name;
    if (c.err == "?") {
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    } else {
      EXPECT_EQ(result.err, c.err) << name;
    }
  }
}

// Whether the text holds a Braille cell with at least one dot (U+2801-U+28FF).
bool hasBraille(const std::string& text) {
  for (size_t at = 0; at + 2 < text.size(); ++at) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    if (b(0) == 0xE2 && b(1) >= 0xA0 && b(1) <= 0xA3 && (b(1) > 0xA0 || b(2) > 0x80)) return true;
  }
  return false;
}

// A week kept by the built host from a replay in virtual time, read back by the built viewer
// and drawn on its graph screen.
TEST(HistoryView, AWeekKeptByTheHostReadBackAndDrawn) {
  testing_support::DeviceRoot root;
  const std::string week = root.write("week.plist", testing_support::daysOfCharges(7));
  const auto host =
      runProcess(SPRINGBOARD_SIM, {"--source", "replay=" + week, "--virtual-time", "--history"},
                 {{"SIM_DEVICE_ROOT", root.path()}});
  ASSERT_EQ(host.exitCode, 0) << host.err;
  const std::map<std::string, std::optional<std::string>> env = {
      {"SIM_DEVICE_ROOT", root.path()}, {"TZ", "UTC"}, {"SIM_LANGUAGES", "en"}};

  const auto all = runProcess(BRIMWELL_VIEWER, {"--history"}, env);
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.err, "");
  std::istringstream lines(all.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "time,level,power_W,state,time_to_empty_min,time_to_full_min");
  std::map<std::string, int> states;
  int samples = 0;
  double lowest = 100;
  while (std::getline(lines, line)) {
    ++samples;
    std::vector<std::string> field;
    std::istringstream fields(line);
    for (std::string f; std::getline(fields, f, ',');) field.push_back(f);
    ASSERT_GE(field.size(), 4u) << line;
    EXPECT_EQ(field[0].size(), std::string("2026-12-08T10:02:07+00:00").size()) << line;
    lowest = std::min(lowest, std::stod(field[1]));
    ++states[field[3]];
  }
  EXPECT_EQ(samples, 7 * 1440) << "a sample a minute";
  EXPECT_NEAR(lowest, 20, 1) << "drained to 20 % and charged again";
  EXPECT_GT(states["discharging"], 0);
  EXPECT_GT(states["charging"], 0);

  const auto day = runProcess(BRIMWELL_VIEWER, {"--history", "--since", "24h", "--json"}, env);
  EXPECT_EQ(day.exitCode, 0) << day.err;
  EXPECT_NEAR(std::count(day.out.begin(), day.out.end(), '{'), 1440, 3) << "the last day";

  const auto lastMinutes = runProcess(BRIMWELL_VIEWER, {"--history", "--since", "90m"}, env);
  EXPECT_NEAR(std::count(lastMinutes.out.begin(), lastMinutes.out.end(), '\n'), 1 + 90, 3);

  const auto health = runProcess(BRIMWELL_VIEWER, {"--health", "--format", "json"}, env);
  EXPECT_EQ(health.exitCode, 0) << health.err;
  EXPECT_GE(std::count(health.out.begin(), health.out.end(), '{'), 7) << health.out;
  EXPECT_NE(health.out.find("\"full_charge_capacity_mAh\":4000,\"design_capacity_mAh\":4400,"
                            "\"health\":90.91,\"cycle_count\":87,\"serial\":\"42\"}"),
            std::string::npos)
      << health.out;

  {  // a sleep in the last day, which the graph marks on its time axis
    history::Failure failure;
    std::string said;
    auto store = history::HistoryStore::openForWriting(
        root.path() + history::HistoryStore::kDevicePath, failure, said);
    ASSERT_TRUE(store) << failure.why;
    const double now = static_cast<double>(std::time(nullptr));
    ASSERT_TRUE(store->addSleep(
        {now - 6 * 3600, now - 5 * 3600, 60, 59, {}, {}, 1, "deep", false, {}, {}}, failure));
  }
  const auto screen = testing_support::runOnTerminal(
      BRIMWELL_VIEWER, {},
      {{"SIM_DEVICE_ROOT", root.path()}, {"TERM", "xterm-256color"}, {"TZ", "UTC"}}, 100, 30, 2.0,
      "g");
  EXPECT_TRUE(hasBraille(screen.out));
  for (const char* text :
       {"100 %", "75 %", "50 %", "25 %", " W", ":00", "\u2501", "[24 h]", "\u2550", "asleep",
        "Full charge 4000 mAh, 91 % of design; 0.0 % in 7 days; 87 cycles"}) {
    EXPECT_NE(screen.out.find(text), std::string::npos) << text;
  }
  size_t endsInZero = 0;  // 100, 50 and 0 % (curses moves over the blanks before a label)
  for (size_t at = 0; (at = screen.out.find("0 %", at)) != std::string::npos; ++at) {
    ++endsInZero;
  }
  EXPECT_GE(endsInZero, 3u);
}

// The sleeps the host kept, all of them or those of the last day, as the viewer prints them.
TEST(HistoryView, TheSleepsKept) {
  TempDir root;
  const std::string path = root.path() + history::HistoryStore::kDevicePath;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  history::Failure failure;
  std::string said;
  auto store = history::HistoryStore::openForWriting(path, failure, said);
  ASSERT_TRUE(store) << failure.why;
  const double now = static_cast<double>(std::time(nullptr));
  for (const double start : {now - 3 * 86400.0, now - 8 * 3600.0})
    ASSERT_TRUE(store->addSleep(
        {start, start + 7 * 3600, 80, 76, {}, {}, 0.57, "deep", false, {}, {}}, failure));
  const std::map<std::string, std::optional<std::string>> env{{"SIM_DEVICE_ROOT", root.path()}};
  for (const auto& [args, rows] : std::vector<std::pair<std::vector<std::string>, long>>{
           {{"--sleeps"}, 2}, {{"--sleeps", "--since", "24h"}, 1}}) {
    const auto result = runProcess(BRIMWELL_VIEWER, args, env);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1 + rows) << result.out;
    EXPECT_NE(result.out.find(",80.00,76.00,,,0.57,deep,false,,\n"), std::string::npos)
        << result.out;
  }
}

// The last sleep on a laptop's screen and in its JSON; a phone's has neither.
TEST(HistoryView, TheLastSleepOnALaptopsScreen) {
  const std::string laptop = testing_support::plistXml(
      "<key>ChargingState</key><string>discharging</string>"
      "<key>CurrentCapacity</key><integer>62</integer>");
  const std::string phone =
      testing_support::plistXml("<key>AppleRawCurrentCapacity</key><integer>500</integer>");
  const double now = static_cast<double>(std::time(nullptr));
  const history::SleepEntry night{now - 9 * 3600,
                                  now - 9 * 3600 + 7 * 3600 + 12 * 60,
                                  80,
                                  76,
                                  3.1,
                                  430,
                                  0.57,
                                  "deep",
                                  false,
                                  {},
                                  {}};
  const history::SleepEntry earlier{now - 3 * 86400, now - 2 * 86400, 90, 50, {}, {}, 1.7,
                                    "s2idle",        false,           {}, {}};
  const history::SleepEntry docked{
      now - 3600, now - 3600 + 45 * 60, 70, 71, {}, {}, -1.3, "s2idle", true, {}, {}};
  const struct {
    const char* name;
    std::string status;
    std::vector<history::SleepEntry> sleeps;  // written in this order; none: no history at all
    std::string line;                         // the --once line; "": none
    std::string json;                         // the end of the --json line
  } cases[] = {
      {"the latest start is the last, whatever the order written",
       laptop,
       {night, earlier},
       "lastSleepLabel \"7 h 12 m, -4 %, 0.6 %/h\"\n",
       "\"last_sleep_s\":25920,\"last_sleep_level_change\":-4.00,"
       "\"last_sleep_percent_per_hour\":0.57,\"last_sleep_external_power\":false}\n"},
      {"on external power, under an hour",
       laptop,
       {night, docked},
       "lastSleepLabel \"45 min, on external power\"\n",
       "\"last_sleep_s\":2700,\"last_sleep_level_change\":null,"
       "\"last_sleep_percent_per_hour\":null,\"last_sleep_external_power\":true}\n"},
      {"no history",
       laptop,
       {},
       "",
       "\"last_sleep_end\":null,\"last_sleep_s\":null,\"last_sleep_level_change\":null,"
       "\"last_sleep_percent_per_hour\":null,\"last_sleep_external_power\":null}\n"},
      {"a phone's status", phone, {night}, "", "\"age_s\":0}\n"},
  };
  for (const auto& c : cases) {
    TempDir root;
    root.write("/tmp/batteryStatus.plist", c.status);
    if (!c.sleeps.empty()) {
      const std::string path = root.path() + history::HistoryStore::kDevicePath;
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      history::Failure failure;
      std::string said;
      auto store = history::HistoryStore::openForWriting(path, failure, said);
      ASSERT_TRUE(store) << failure.why;
      for (const auto& sleep : c.sleeps) ASSERT_TRUE(store->addSleep(sleep, failure));
    }
    const std::map<std::string, std::optional<std::string>> env{{"SIM_DEVICE_ROOT", root.path()},
                                                                {"SIM_LANGUAGES", "en"}};
    const auto once = runProcess(BRIMWELL_VIEWER, {"--once"}, env);
    EXPECT_EQ(once.exitCode, 0) << c.name;
    const size_t at = once.out.find("lastSleepLabel");
    EXPECT_EQ(at == std::string::npos ? "" : once.out.substr(at), c.line) << c.name;
    // The live screen's row, its caption and its value.
    if (c.status == laptop) {
      auto onTerminal = env;
      onTerminal["TERM"] = "xterm-256color";
      const auto screen =
          testing_support::runOnTerminal(BRIMWELL_VIEWER, {}, onTerminal, 80, 40, 1.0);
      EXPECT_EQ(screen.out.find("Last sleep") != std::string::npos, !c.line.empty()) << c.name;
      const std::string value = c.line.empty() ? "" : c.line.substr(16, c.line.size() - 18);
      EXPECT_NE(screen.out.find(value), std::string::npos) << c.name;
    }
    const auto json = runProcess(BRIMWELL_VIEWER, {"--json"}, env);
    EXPECT_EQ(json.out.substr(json.out.size() - std::min(json.out.size(), c.json.size())), c.json)
        << c.name << ": " << json.out;
  }
}

// A history that is there but empty is no history yet; one that cannot be read whole is not
// printed in part: the header alone, why on stderr, exit 1.
TEST(HistoryView, AHistoryThatCannotBeReadWholeIsNotPrintedInPart) {
  const std::string header = "time,level,power_W,state,time_to_empty_min,time_to_full_min\n";
  const struct {
    const char* name;
    std::function<void(const std::string&)> plant;
    int exitCode;
    std::string err;  // the start of it
  } cases[] = {
      {"an empty database", [](const std::string& path) { historyOfDays(path, 0); }, 0,
       "no history yet\n"},
      {"not a database",
       [](const std::string& path) { std::ofstream(path) << std::string(8192, 'x'); }, 1,
       "cannot read the history: file is not a database"},
      {"a page overwritten",
       [](const std::string& path) {
         historyOfDays(path, 3);
         std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp(40960);
         file << std::string(4096, '\xff');
       },
       1, "cannot read the history whole: database disk image is malformed"},
  };
  for (const auto& c : cases) {
    TempDir root;
    const std::string path = root.path() + history::HistoryStore::kDevicePath;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    c.plant(path);
    const auto result =
        runProcess(BRIMWELL_VIEWER, {"--history"}, {{"SIM_DEVICE_ROOT", root.path()}});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.name << ": " << result.err;
    EXPECT_EQ(result.out, header) << c.name;
    EXPECT_EQ(result.err.rfind(c.err, 0), 0u) << c.name << ": " << result.err;
  }
}

}  // namespace
