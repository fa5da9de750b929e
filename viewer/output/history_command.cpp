#include "viewer/output/history_command.h"

#include <chrono>
#include <iostream>

#include "viewer/output/history_output.h"
#include "viewer/table/history_reading.h"

int printHistoryTable(HistoryTable table, OutputFormat format, double sinceSeconds) {
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  const double since = sinceSeconds > 0 ? now - sinceSeconds : 0;
  const auto when = [&](HistoryTable wanted) {
    return table == wanted ? std::optional<double>(since) : std::nullopt;
  };
  const HistoryReading reading = readHistory(
      when(HistoryTable::samples), table == HistoryTable::health, when(HistoryTable::sleeps));
  if (reading.none) std::cerr << *reading.none << "\n";
  const bool json = format == OutputFormat::json;
  if (table == HistoryTable::samples) {
    std::cout << (json ? samplesJson(reading.samples) : samplesCsv(reading.samples));
  } else if (table == HistoryTable::sleeps) {
    std::cout << (json ? sleepsJson(reading.sleeps) : sleepsCsv(reading.sleeps));
  } else {
    std::cout << (json ? healthJson(reading.health) : healthCsv(reading.health));
  }
  std::cout.flush();
  return std::cout && !reading.failed ? 0 : 1;
}
