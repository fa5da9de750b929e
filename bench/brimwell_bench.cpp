// What one status change costs in the plug-in and one refresh costs in the viewer, each beside
// the floor of the same work done bare: the same bytes through plain system calls, the same
// file through libplist alone (and through expat alone). Each cost and its floor are timed in
// the same iterations. Prints the usual benchmark lines, then the ratios.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <fcntl.h>
#include <plist/plist.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "common/plist.h"
#include "common/settings_keys.h"
#include "common/status_keys.h"
#include "host/classes/host_classes.h"
#include "host/scenario/scenario_runner.h"
#include "host/sources/simulated_battery.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/runtime/loader.h"
#include "viewer/output/json_output.h"
#include "viewer/table/main_storyboard.h"

namespace {

// One simulated device for the whole run: the plug-in installed, settings with every alert on.
struct Device {
  std::string root;
  std::string statusPath;
  std::string settingsPath;
  std::string statusXml;
  std::unique_ptr<SpringBoard> springBoard;
  std::unique_ptr<NSDictionary> status;

  Device() {
    char pattern[] = "/tmp/brimwell-bench-XXXXXX";
    root = mkdtemp(pattern);
    setenv("SIM_DEVICE_ROOT", root.c_str(), 1);
    setenv("SIM_MODEL_IDENTIFIER", "iPhone7,2", 1);
    setenv("SIM_LANGUAGES", "en", 1);
    namespace fs = std::filesystem;
    fs::create_directories(root + "/Library/MobileSubstrate/DynamicLibraries");
    fs::create_symlink(BRIMWELL_DYLIB,
                       root + "/Library/MobileSubstrate/DynamicLibraries/Brimwell.dylib");
    fs::create_directories(root + "/tmp");
    statusPath = platform::deviceFilePath(brimwell::kBatteryStatusPath);
    settingsPath = platform::deviceFilePath(brimwell::kSettingsPath);
    fs::create_directories(fs::path(settingsPath).parent_path());
    std::ofstream(settingsPath)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>chargeMode</key><integer>2</integer><key>alertLevel</key><integer>80</integer>"
           "<key>isRepeat</key><false/><key>isPopAlert</key><true/><key>isVibrate</key><true/>"
           "<key>isSound</key><true/><key>textColor</key><integer>0</integer></dict></plist>\n";

    registerHostClasses(HostListener{});
    platform::loadDynamicLibraries();
    springBoard = std::make_unique<SpringBoard>();
    // A phone at 90 % on the charger: both alerts are given at the first change, so every later
    // one reads the settings and runs the policy without showing anything.
    host::SimulatedBattery battery(90, true);
    status = std::make_unique<NSDictionary>(battery.statusDictionary());
    statusXml = status->contents().toXml();
    deliver();
  }
  ~Device() { std::filesystem::remove_all(root); }
  void deliver() {
    objc_msgSend<void>(springBoard.get(), sel_registerName("batteryStatusDidChange:"),
                       status.get());
  }
};

Device& device() {
  static Device d;
  return d;
}

// The same bytes through bare system calls: a new file, written, renamed over the status file,
// and one read of the settings file.
void statusChangeFloor(Device& d) {
  const std::string temporary = d.statusPath + ".floor";
  char buffer[4096];
  const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  benchmark::DoNotOptimize(write(out, d.statusXml.data(), d.statusXml.size()));
  close(out);
  rename(temporary.c_str(), d.statusPath.c_str());
  const int in = open(d.settingsPath.c_str(), O_RDONLY | O_CLOEXEC);
  benchmark::DoNotOptimize(read(in, buffer, sizeof buffer));
  close(in);
}

// The status file's bytes through bare system calls.
ssize_t readStatusFile(const Device& d, char* bytes, size_t size) {
  const int in = open(d.statusPath.c_str(), O_RDONLY | O_CLOEXEC);
  const ssize_t n = read(in, bytes, size);
  close(in);
  return n;
}

// Reading the same file and parsing it with libplist alone, the lenient parser the viewer used
// before it read strictly.
void refreshFloor(const Device& d) {
  char bytes[64 * 1024];
  const ssize_t n = readStatusFile(d, bytes, sizeof bytes);
  plist_t parsed = nullptr;
  plist_from_memory(bytes, static_cast<uint32_t>(n), &parsed);
  benchmark::DoNotOptimize(parsed);
  plist_free(parsed);
}

// The same with the strict XML parser the reader stands on, tokenising alone.
void refreshExpatFloor(const Device& d) {
  char bytes[64 * 1024];
  const ssize_t n = readStatusFile(d, bytes, sizeof bytes);
  XML_Parser parser = XML_ParserCreate(nullptr);
  benchmark::DoNotOptimize(XML_Parse(parser, bytes, static_cast<int>(n), XML_TRUE));
  XML_ParserFree(parser);
}

// A cost and its floor in the same iterations, one after the other, so that a machine whose
// speed drifts (a shared virtual machine) slows both alike; the ratio is of their sums.
template <typename Cost, typename Floor>
void paired(benchmark::State& state, Cost cost, Floor floor) {
  using Clock = std::chrono::steady_clock;
  Clock::duration costs{}, floors{};
  for (auto _ : state) {
    const auto start = Clock::now();
    cost();
    const auto middle = Clock::now();
    floor();
    costs += middle - start;
    floors += Clock::now() - middle;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["cost_ns"] = std::chrono::duration<double, std::nano>(costs).count() / n;
  state.counters["floor_ns"] = std::chrono::duration<double, std::nano>(floors).count() / n;
  state.counters["ratio"] =
      static_cast<double>(costs.count()) / static_cast<double>(floors.count());
}

void StatusChange(benchmark::State& state) {
  Device& d = device();
  paired(
      state, [&] { d.deliver(); }, [&] { statusChangeFloor(d); });
}
BENCHMARK(StatusChange);

void ViewerRefresh(benchmark::State& state) {
  Device& d = device();
  d.deliver();
  MainStoryboard storyboard;
  BIDMainTableViewController& controller = storyboard.controller();
  paired(
      state, [&] { controller.showBatteryInfo(); }, [&] { refreshFloor(d); });
}
BENCHMARK(ViewerRefresh);

void ViewerRefreshOverItsParser(benchmark::State& state) {
  Device& d = device();
  d.deliver();
  MainStoryboard storyboard;
  BIDMainTableViewController& controller = storyboard.controller();
  paired(
      state, [&] { controller.showBatteryInfo(); }, [&] { refreshExpatFloor(d); });
}
BENCHMARK(ViewerRefreshOverItsParser);

// One line of --json (or --follow) made from a refresh: next to the refresh itself, small.
void ViewerJsonLine(benchmark::State& state) {
  Device& d = device();
  d.deliver();
  MainStoryboard storyboard;
  BIDMainTableViewController& controller = storyboard.controller();
  controller.showBatteryInfo();
  for (auto _ : state)
    benchmark::DoNotOptimize(refreshJson("iPhone 6", *controller.batteryInfo, 0));
}
BENCHMARK(ViewerJsonLine);

// A dictionary of many keys: 24,000 short ones fill a status file to just under its 1 MiB cap.
constexpr int kLargeDictionaryKeys = 24000;

std::string largeDictionaryKey(int i) {
  char key[16];
  std::snprintf(key, sizeof key, "k%05d", i);
  return key;
}

const std::string& largeDictionaryXml() {
  static const std::string xml = [] {
    brimwell::Plist dictionary = brimwell::Plist::newDictionary();
    for (int i = 0; i < kLargeDictionaryKeys; ++i) {
      dictionary.setItem(largeDictionaryKey(i), brimwell::Plist::integer(i));
    }
    return dictionary.toXml();
  }();
  return xml;
}

// Reading it with our reader, beside libplist's parse of the same bytes.
void LargeDictionaryRead(benchmark::State& state) {
  const std::string& xml = largeDictionaryXml();
  paired(
      state, [&] { benchmark::DoNotOptimize(brimwell::Plist::fromMemory(xml)); },
      [&] {
        plist_t parsed = nullptr;
        plist_from_memory(xml.data(), static_cast<uint32_t>(xml.size()), &parsed);
        benchmark::DoNotOptimize(parsed);
        plist_free(parsed);
      });
}
BENCHMARK(LargeDictionaryRead)->Unit(benchmark::kMillisecond);

// Building it key by key, copying and comparing it, and writing it (in the order it was built).
void LargeDictionaryBuild(benchmark::State& state) {
  for (auto _ : state) {
    brimwell::Plist dictionary = brimwell::Plist::newDictionary();
    for (int i = 0; i < kLargeDictionaryKeys; ++i) {
      dictionary.setItem(largeDictionaryKey(i), brimwell::Plist::integer(i));
    }
    const brimwell::Plist copy = dictionary.copy();
    benchmark::DoNotOptimize(copy == dictionary);
    benchmark::DoNotOptimize(copy.toXml());
  }
}
BENCHMARK(LargeDictionaryBuild)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's paired figures (the median of the repetitions) for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Figures {
    double cost, floor, ratio;
  };
  std::map<std::string, Figures> figures;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name != "median") continue;
        name = run.run_name.function_name;
      }
      const auto counter = [&](const char* key) {
        const auto found = run.counters.find(key);
        return found == run.counters.end() ? 0.0 : static_cast<double>(found->second);
      };
      figures[name] = {counter("cost_ns"), counter("floor_ns"), counter("ratio")};
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto row = [&](const char* what, const char* name, double target) {
    if (!reporter.figures.count(name)) return;
    const auto& f = reporter.figures[name];
    char verdict[48] = "for comparison";
    if (target > 0) {
      std::snprintf(verdict, sizeof verdict, "%s (target %.1fx)",
                    f.ratio <= target ? "met" : "MISSED", target);
    }
    std::printf("%-28s %10.1f us %10.1f us %8.2fx   %s\n", what, f.cost / 1e3, f.floor / 1e3,
                f.ratio, verdict);
  };
  std::printf("\n%-28s %13s %13s %9s\n", "", "Brimwell", "floor", "ratio");
  row("status change", "StatusChange", 2.0);
  row("viewer refresh", "ViewerRefresh", 1.5);
  row("viewer refresh, expat floor", "ViewerRefreshOverItsParser", 0);
  row("24,000 keys, libplist floor", "LargeDictionaryRead", 0);
  return 0;
}
