#include "viewer/graph/graph_wear.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

using history::HealthEntry;

namespace {

constexpr double kDay = 86400;
constexpr double kYear = 365.25 * kDay;
constexpr double kEnoughLog = 30 * kDay;
constexpr double kStillIn = 2 * kDay;

double healthOf(const HealthEntry& e) {
  return 100.0 * e.fullChargeCapacity / e.designCapacity;
}

std::string decimal(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::vector<std::vector<HealthEntry>> packsNow(const std::vector<HealthEntry>& log, double now) {
  std::map<std::string, std::vector<HealthEntry>> bySerial;
  double latest = -INFINITY;
  for (const HealthEntry& e : log) {
    if (e.designCapacity <= 0 || e.fullChargeCapacity <= 0 || !std::isfinite(e.time) ||
        e.time > now + kDay) {
      continue;
    }
    bySerial[e.serial].push_back(e);
    latest = std::max(latest, e.time);
  }
  std::vector<std::vector<HealthEntry>> packs;
  for (auto& [serial, entries] : bySerial) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const HealthEntry& a, const HealthEntry& b) { return a.time < b.time; });
    if (entries.back().time >= latest - kStillIn) packs.push_back(std::move(entries));
  }
  return packs;
}

WearPace paceToEightyPercent(const std::vector<HealthEntry>& pack, double now) {
  WearPace pace;
  if (pack.empty() || pack.back().time - pack.front().time < kEnoughLog) return pace;
  // Least squares, with time counted from the first entry so that the sums stay exact enough.
  const double origin = pack.front().time;
  double meanT = 0, meanH = 0;
  for (const HealthEntry& e : pack) {
    meanT += e.time - origin;
    meanH += healthOf(e);
  }
  meanT /= pack.size();
  meanH /= pack.size();
  double covariance = 0, variance = 0;
  for (const HealthEntry& e : pack) {
    covariance += (e.time - origin - meanT) * (healthOf(e) - meanH);
    variance += (e.time - origin - meanT) * (e.time - origin - meanT);
  }
  const double slope = covariance / variance;  // percent a second; variance > 0 over 30 days
  const double atNow = meanH + slope * (now - origin - meanT);
  if (atNow <= 80) {
    pace.kind = WearPace::Kind::reached;
  } else if (!(slope < 0) || (80 - atNow) / slope > 10 * kYear) {
    pace.kind = WearPace::Kind::notWithinTenYears;
  } else {
    pace.kind = WearPace::Kind::around;
    pace.when = now + (80 - atNow) / slope;
  }
  return pace;
}

std::string wearLine(const std::vector<HealthEntry>& pack, const Localize& localize) {
  if (pack.empty()) return "";
  const HealthEntry& last = pack.back();
  std::string line = filledIn(filledIn(localize("Full charge %s, %s of design"),
                                       std::to_string(last.fullChargeCapacity) + " mAh"),
                              decimal("%.0f", healthOf(last)) + " %");
  const double days = std::round((last.time - pack.front().time) / kDay);
  if (days >= 1) {
    std::string change = decimal("%+.1f", healthOf(last) - healthOf(pack.front()));
    // A change too small to show has no way to go.
    if (change == "-0.0" || change == "+0.0") change = "0.0";
    line += "; " + (days == 1 ? filledIn(localize("%s in 1 day"), change + " %")
                              : filledIn(filledIn(localize("%s in %s days"), change + " %"),
                                         decimal("%.0f", days)));
  }
  if (last.cycleCount) {
    line += "; " + (*last.cycleCount == 1
                        ? localize("1 cycle")
                        : filledIn(localize("%s cycles"), std::to_string(*last.cycleCount)));
  }
  return line;
}

std::string paceLine(const WearPace& pace, const Localize& localize) {
  switch (pace.kind) {
    case WearPace::Kind::tooShort:
      return filledIn(localize("%s of design: the pace shows once the health log spans 30 days"),
                      "80 %");
    case WearPace::Kind::reached:
      return filledIn(localize("Below %s of design already"), "80 %");
    case WearPace::Kind::notWithinTenYears:
      return filledIn(localize("%s of design not within 10 years"), "80 %");
    case WearPace::Kind::around:
      break;
  }
  const time_t when = static_cast<time_t>(pace.when);
  tm local{};
  localtime_r(&when, &local);
  char month[16];
  std::strftime(month, sizeof month, "%Y-%m", &local);
  return filledIn(filledIn(localize("%s of design around %s"), "80 %"), month);
}

std::vector<std::string> wearLines(const std::vector<HealthEntry>& log, double now,
                                   const Localize& localize) {
  const std::vector<std::vector<HealthEntry>> packs = packsNow(log, now);
  std::vector<std::string> lines;
  for (const std::vector<HealthEntry>& pack : packs) {
    const std::string wear = wearLine(pack, localize);
    lines.push_back(
        packs.size() > 1 ? filledIn(localize("Pack %s"), pack.back().serial) + ": " + wear : wear);
    lines.push_back(paceLine(paceToEightyPercent(pack, now), localize));
  }
  return lines;
}
