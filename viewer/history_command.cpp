#include "viewer/history_command.h"

#include <chrono>
#include <iostream>

#include "viewer/history_output.h"
#include "viewer/history_reading.h"

int printHistoryTable(const ViewerOptions& o) {
  const bool samples = o.history == HistoryTable::samples;
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  const HistoryReading reading = readHistory(
      samples ? std::optional<double>(o.sinceSeconds > 0 ? now - o.sinceSeconds : 0) : std::nullopt,
      !samples);
  if (reading.none) std::cerr << *reading.none << "\n";
  const bool json = o.format == OutputFormat::json;
  if (samples) {
    std::cout << (json ? samplesJson(reading.samples) : samplesCsv(reading.samples));
  } else {
    std::cout << (json ? healthJson(reading.health) : healthCsv(reading.health));
  }
  std::cout.flush();
  return std::cout && !reading.failed ? 0 : 1;
}
