#pragma once

#include <string>
#include <vector>

#include "history/history_types.h"

// The history for scripts: CSV with a header line, or one JSON array of objects with the same
// names. Times are ISO 8601 in local time with the offset; what is not known is an empty CSV
// field or null.
std::string samplesCsv(const std::vector<history::Sample>& samples);
std::string samplesJson(const std::vector<history::Sample>& samples);
std::string healthCsv(const std::vector<history::HealthEntry>& log);
std::string healthJson(const std::vector<history::HealthEntry>& log);
std::string sleepsCsv(const std::vector<history::SleepEntry>& sleeps);
std::string sleepsJson(const std::vector<history::SleepEntry>& sleeps);

// "10m", "24h", "7d", "1.5h": the seconds in a positive number of minutes, hours or days; false
// otherwise.
bool parseSince(const std::string& text, double& seconds);
