// The battery's history: what one sample costs the host, and how large two years of use make
// the database (minute samples, thinned daily as the host does).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "viewer/output/history_output.h"

namespace {

std::string freshFolder() {
  char pattern[] = "/tmp/brimwell-bench-history-XXXXXX";
  return ::mkdtemp(pattern) ? pattern : "/tmp";
}

history::Sample sampleAt(double time) {
  history::Sample s;
  s.time = time;
  s.level = 50 + 40 * ((static_cast<long>(time) / 3600) % 2);
  s.powerW = -10.25;
  s.state = "discharging";
  s.minutesToEmpty = 180;
  return s;
}

void HistorySample(benchmark::State& state) {
  const std::string folder = freshFolder();
  history::Failure why;
  std::string said;
  auto store = history::HistoryStore::openForWriting(folder + "/history.sqlite", why, said);
  double time = 1.8e9;
  for (auto _ : state) {
    store->addSample(sampleAt(time), why);
    time += 60;
  }
  store.reset();
  std::filesystem::remove_all(folder);
}
BENCHMARK(HistorySample)->Unit(benchmark::kMicrosecond);

// The same sample as the laptop service writes it: SQLite loaded, the history opened, the sample
// written, the history closed (its WAL checkpointed) and SQLite unloaded, on a history of a
// month of minute samples.
void HistorySampleOpenedForIt(benchmark::State& state) {
  const std::string folder = freshFolder();
  const std::string path = folder + "/history.sqlite";
  history::Failure why;
  std::string said;
  double time = 1.8e9;
  {
    auto store = history::HistoryStore::openForWriting(path, why, said);
    std::vector<history::Sample> month;
    for (; month.size() < 30 * 1440; time += 60) month.push_back(sampleAt(time));
    store->addSamples(month, why);
  }
  for (auto _ : state) {
    auto store = history::HistoryStore::openForWriting(path, why, said, false);
    store->addSample(sampleAt(time), why);
    time += 60;
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(HistorySampleOpenedForIt)->Unit(benchmark::kMicrosecond);

// Two years of minute samples with the daily thinning: the file's size at the end.
void HistoryTwoYears(benchmark::State& state) {
  for (auto _ : state) {
    const std::string folder = freshFolder();
    const std::string path = folder + "/history.sqlite";
    history::Failure why;
    std::string said;
    {
      auto store = history::HistoryStore::openForWriting(path, why, said);
      const double start = 1.8e9, day = 86400;
      for (int d = 0; d < 730; ++d) {
        for (int minute = 0; minute < 1440; ++minute)
          store->addSample(sampleAt(start + d * day + minute * 60), why);
        store->thin(start + (d + 1) * day, why);
      }
    }
    struct stat info {};
    ::stat(path.c_str(), &info);
    state.counters["database_MB"] = static_cast<double>(info.st_size) / 1e6;
    std::filesystem::remove_all(folder);
  }
}
BENCHMARK(HistoryTwoYears)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(1);

// What `--history` prints for two years kept (30 days of minute samples, then hourly ones),
// as JSON and as CSV.
std::vector<history::Sample> twoYearsKept() {
  std::vector<history::Sample> samples;
  const double start = 1.8e9;
  for (int hour = 0; hour < 700 * 24; ++hour) samples.push_back(sampleAt(start + hour * 3600.0));
  for (int minute = 0; minute < 30 * 1440; ++minute)
    samples.push_back(sampleAt(start + 700 * 86400.0 + minute * 60));
  return samples;
}

void HistoryPrintedAsJson(benchmark::State& state) {
  const std::vector<history::Sample> samples = twoYearsKept();
  for (auto _ : state) benchmark::DoNotOptimize(samplesJson(samples));
  state.counters["samples"] = static_cast<double>(samples.size());
}
BENCHMARK(HistoryPrintedAsJson)->Unit(benchmark::kMillisecond);

void HistoryPrintedAsCsv(benchmark::State& state) {
  const std::vector<history::Sample> samples = twoYearsKept();
  for (auto _ : state) benchmark::DoNotOptimize(samplesCsv(samples));
}
BENCHMARK(HistoryPrintedAsCsv)->Unit(benchmark::kMillisecond);

}  // namespace
