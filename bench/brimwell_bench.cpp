// What one status change costs in the plug-in and one refresh costs in the viewer, each beside
// the floor of the same work done bare: the same bytes through plain system calls, the same
// file through libplist alone. Prints the usual benchmark lines, then the ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <plist/plist.h>
#include <unistd.h>

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
#include "host/host_classes.h"
#include "host/scenario_runner.h"
#include "host/simulated_battery.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/runtime/loader.h"
#include "viewer/main_storyboard.h"

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

void StatusChange(benchmark::State& state) {
  Device& d = device();
  for (auto _ : state) d.deliver();
}
BENCHMARK(StatusChange);

// The same bytes through bare system calls: a new file, written, renamed over the status file,
// and one read of the settings file.
void StatusChangeFloor(benchmark::State& state) {
  Device& d = device();
  const std::string temporary = d.statusPath + ".floor";
  char buffer[4096];
  for (auto _ : state) {
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    benchmark::DoNotOptimize(write(out, d.statusXml.data(), d.statusXml.size()));
    close(out);
    rename(temporary.c_str(), d.statusPath.c_str());
    const int in = open(d.settingsPath.c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(read(in, buffer, sizeof buffer));
    close(in);
  }
}
BENCHMARK(StatusChangeFloor);

void ViewerRefresh(benchmark::State& state) {
  Device& d = device();
  d.deliver();
  MainStoryboard storyboard;
  BIDMainTableViewController& controller = storyboard.controller();
  for (auto _ : state) controller.showBatteryInfo();
}
BENCHMARK(ViewerRefresh);

// Reading and parsing the same file with libplist alone.
void ViewerRefreshFloor(benchmark::State& state) {
  Device& d = device();
  d.deliver();
  std::string bytes(64 * 1024, '\0');
  for (auto _ : state) {
    const int in = open(d.statusPath.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t n = read(in, bytes.data(), bytes.size());
    close(in);
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(n), &parsed);
    benchmark::DoNotOptimize(parsed);
    plist_free(parsed);
  }
}
BENCHMARK(ViewerRefreshFloor);

// Keeps each benchmark's time per iteration for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> nanoseconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions, the median stands for the benchmark.
      std::string name = run.benchmark_name();
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name != "median") continue;
        name = run.run_name.function_name;
      }
      nanoseconds[name] =
          run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMicrosecond   ? 1e3
                                       : run.time_unit == benchmark::kMillisecond ? 1e6
                                                                                  : 1.0);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto row = [&](const char* what, const char* name, const char* floor, double target) {
    if (!reporter.nanoseconds.count(name) || !reporter.nanoseconds.count(floor)) return;
    const double cost = reporter.nanoseconds[name], base = reporter.nanoseconds[floor];
    std::printf("%-22s %10.1f us %10.1f us %8.2fx   %s (target %.1fx)\n", what, cost / 1e3,
                base / 1e3, cost / base, cost / base <= target ? "met" : "MISSED", target);
  };
  std::printf("\n%-22s %13s %13s %9s\n", "", "Brimwell", "floor", "ratio");
  row("status change", "StatusChange", "StatusChangeFloor", 2.0);
  row("viewer refresh", "ViewerRefresh", "ViewerRefreshFloor", 1.5);
  return 0;
}
