#include "viewer/graph/graph_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iterator>

#include "common/utf8.h"
#include "viewer/graph/graph_canvas.h"
#include "viewer/graph/graph_days.h"
#include "viewer/table/status_summary.h"

using history::Sample;
using history::SleepEntry;

namespace {

constexpr int kLeftGutter = 6;  // "100 %┤"
constexpr int kBelowPlot = 3;   // the charger's row, the time axis, the times
constexpr int kTimeLabel = 5;   // "10:00", "12-08"
constexpr const char* kChargerBar = "\u2501";
// Samples farther apart than twice the host's longest wait were not taken between: the machine
// was off, asleep or without its host.
constexpr double kHostGap = 2 * kStaleAfterSeconds;

// The power axis: from lo to hi in four equal steps of a round size, zero within it.
struct PowerScale {
  bool known = false;
  double lo = 0, hi = 0;
};

PowerScale powerScale(const std::vector<Sample>& samples, double start, double now) {
  PowerScale scale;
  constexpr double kMost = 10000;  // no laptop's battery moves more; a wild value stays on the edge
  double low = 0, high = 0;
  for (const Sample& s : samples) {
    if (s.time < start || s.time > now || !s.powerW || !std::isfinite(*s.powerW)) continue;
    scale.known = true;
    low = std::max(-kMost, std::min(low, *s.powerW));
    high = std::min(kMost, std::max(high, *s.powerW));
  }
  if (!scale.known) return scale;
  for (double magnitude = 0.1;; magnitude *= 10) {
    for (const double size : {5.0, 10.0, 20.0, 25.0, 50.0}) {
      const double step = size * magnitude;
      const double lo = std::floor(low / step) * step;
      if (lo + 4 * step >= high) {
        scale.lo = lo;
        scale.hi = lo + 4 * step;
        return scale;
      }
    }
  }
}

std::string powerLabel(double watts) {
  char text[32];
  const double whole = std::round(watts);
  if (std::fabs(watts - whole) < 1e-6) {
    std::snprintf(text, sizeof text, "%.0f W", whole == 0 ? 0.0 : whole);
  } else {
    std::snprintf(text, sizeof text, "%.1f W", watts);
  }
  return text;
}

// The plot's rows that carry a label, as the fraction of the axis from the top (0, 1/4, ...).
std::vector<int> labelledQuarters(int plotRows) {
  if (plotRows >= 9) return {0, 1, 2, 3, 4};
  if (plotRows >= 3) return {0, 2, 4};
  return {0, 4};
}

int rowOfQuarter(int quarter, int dotHeight) {
  return static_cast<int>(std::lround(quarter / 4.0 * (dotHeight - 1))) / 4;
}

// The dots of each line, and the columns where the charger was in and where the machine slept.
struct Traces {
  BrailleCanvas level, power;
  std::vector<bool> charger, asleep;
};

// Where a time and a value land among the plot's dots.
struct DotScale {
  double start, seconds;
  int width, height;
  int x(double time) const {
    return static_cast<int>(std::lround((time - start) / seconds * (width - 1)));
  }
  int y(double value, double top, double bottom) const {
    const double f = std::clamp((top - value) / (top - bottom), 0.0, 1.0);
    return static_cast<int>(std::lround(f * (height - 1)));
  }
};

// Each day a whisker from its low to its high at its middle, crossed by a bar at its mean that
// leaves the day's first dot column free, so that the days stand apart.
void traceDays(const std::vector<Sample>& samples, const PlotArea& area, const PowerScale& scale,
               const DotScale& dots, Traces& t) {
  const double start = area.now - area.seconds;
  for (const DayRange& day : dailyRanges(samples, start, area.now, kHostGap)) {
    const int x0 = dots.x(std::max(day.start, start)), x1 = dots.x(std::min(day.end, area.now));
    const int middle = (x0 + x1) / 2;
    const int left = std::min(x0 + 1, middle), right = std::max(x1 - 1, middle);
    const auto draw = [&](BrailleCanvas& canvas, double low, double high, double mean, double top,
                          double bottom) {
      canvas.line(middle, dots.y(high, top, bottom), middle, dots.y(low, top, bottom));
      canvas.line(left, dots.y(mean, top, bottom), right, dots.y(mean, top, bottom));
    };
    draw(t.level, day.levelLow, day.levelHigh, day.levelMean, 100, 0);
    if (day.powerMean) {
      draw(t.power, *day.powerLow, *day.powerHigh, *day.powerMean, scale.hi, scale.lo);
    }
    if (day.externalShare <= 0) continue;
    const int first = left / 2, cells = right / 2 - first + 1;
    const long filled = std::max(1L, std::lround(day.externalShare * cells));
    for (int c = first; c < first + filled; ++c) t.charger[static_cast<size_t>(c)] = true;
  }
}

// The cells of the time axis under each sleep of the span.
void traceSleeps(const std::vector<SleepEntry>& sleeps, const PlotArea& area, const DotScale& dots,
                 Traces& t) {
  const double start = area.now - area.seconds;
  for (const SleepEntry& s : sleeps) {
    if (s.end < start || s.start > area.now || s.end < s.start) continue;
    const int from = dots.x(std::max(s.start, start)) / 2;
    const int to = dots.x(std::min(s.end, area.now)) / 2;
    for (int c = from; c <= to; ++c) t.asleep[static_cast<size_t>(c)] = true;
  }
}

Traces trace(const std::vector<Sample>& samples, const PlotArea& area, int columns, int rows,
             const PowerScale& scale) {
  const std::vector<bool> none(static_cast<size_t>(columns), false);
  Traces t{BrailleCanvas(columns, rows), BrailleCanvas(columns, rows), none, none};
  const int width = t.level.dotWidth(), height = t.level.dotHeight();
  const double start = area.now - area.seconds;
  const DotScale dots{start, area.seconds, width, height};
  if (area.seconds >= kDailyFromSeconds) {
    traceDays(samples, area, scale, dots, t);
    return t;
  }
  const double gap = std::max(kHostGap, 3 * area.seconds / width);
  const Sample* previous = nullptr;
  for (const Sample& s : samples) {
    if (s.time < start || s.time > area.now || !std::isfinite(s.level)) continue;
    const bool joined = previous && s.time - previous->time <= gap;
    const int x = dots.x(s.time), y = dots.y(s.level, 100, 0);
    const int x0 = joined ? dots.x(previous->time) : x;
    t.level.line(x0, joined ? dots.y(previous->level, 100, 0) : y, x, y);
    if (s.powerW && std::isfinite(*s.powerW)) {
      const int py = dots.y(*s.powerW, scale.hi, scale.lo);
      const bool both = joined && previous->powerW && std::isfinite(*previous->powerW);
      t.power.line(both ? x0 : x, both ? dots.y(*previous->powerW, scale.hi, scale.lo) : py, x, py);
    }
    // External power holds from a sample to the next one joined to it.
    const int from = joined && previous->externalPower ? x0 / 2 : x / 2;
    const int to = joined && previous->externalPower ? x / 2 : (s.externalPower ? x / 2 : -1);
    for (int c = from; c <= to; ++c) t.charger[static_cast<size_t>(c)] = true;
    previous = &s;
  }
  return t;
}

tm localTime(double seconds) {
  const time_t whole = static_cast<time_t>(std::floor(seconds));
  tm local{};
  localtime_r(&whole, &local);
  return local;
}

struct Tick {
  int column;
  std::string label;
};

// Ticks on round local times ("10:00", "12-08"), as close as their labels allow.
std::vector<Tick> timeTicks(const PlotArea& area, int columns) {
  static const double kSteps[] = {600,   900,   1800,  3600,   7200,   10800,
                                  21600, 43200, 86400, 172800, 604800, 1209600};
  double step = kSteps[std::size(kSteps) - 1];
  for (const double s : kSteps) {
    if (s / area.seconds * columns >= kTimeLabel + 3) {
      step = s;
      break;
    }
  }
  const double start = area.now - area.seconds;
  std::vector<Tick> ticks;
  for (double local = std::ceil((start + localTime(start).tm_gmtoff) / step) * step;;
       local += step) {
    const double time = local - localTime(local).tm_gmtoff;
    if (time > area.now) break;
    if (time < start) continue;
    const tm when = localTime(time);
    char label[16];
    std::strftime(label, sizeof label, step < 86400 ? "%H:%M" : "%m-%d", &when);
    const int column =
        static_cast<int>(std::lround((time - start) / area.seconds * (columns * 2 - 1))) / 2;
    ticks.push_back({column, label});
  }
  return ticks;
}

}  // namespace

void GraphRow::add(const std::string& text, Ink ink) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = std::max<size_t>(1, brimwell::utf8SequenceAt(text, at));
    cells.push_back(text.substr(at, length));
    inks.push_back(ink);
    at += length;
  }
}

std::string GraphRow::text() const {
  std::string out;
  for (const std::string& cell : cells) out += cell;
  return out;
}

const std::vector<GraphSpan>& graphSpans() {
  static const std::vector<GraphSpan> kSpans = {{"1 h", 3600},
                                                {"8 h", 8 * 3600},
                                                {"24 h", 24 * 3600},
                                                {"7 d", 7 * 86400},
                                                {"30 d", 30 * 86400}};
  return kSpans;
}

namespace {

std::string padded(const std::string& text, size_t width, bool right) {
  if (text.size() >= width) return text;
  const std::string blank(width - text.size(), ' ');
  return right ? blank + text : text + blank;
}

// The rows of the plot, each with its axis labels on both sides.
void addPlotRows(const Traces& t, const PowerScale& scale, std::vector<GraphRow>& out) {
  const int rows = t.level.rows();
  std::vector<std::string> left(static_cast<size_t>(rows)), right(static_cast<size_t>(rows));
  for (const int q : labelledQuarters(rows)) {
    const size_t row = static_cast<size_t>(rowOfQuarter(q, t.level.dotHeight()));
    left[row] = std::to_string(100 - 25 * q) + " %";
    if (scale.known) right[row] = powerLabel(scale.hi - q * (scale.hi - scale.lo) / 4);
  }
  for (int r = 0; r < rows; ++r) {
    GraphRow row;
    const size_t i = static_cast<size_t>(r);
    row.add(padded(left[i], kLeftGutter - 1, true));
    row.add(left[i].empty() ? "\u2502" : "\u2524", Ink::axis);
    for (int c = 0; c < t.level.columns(); ++c) {
      const uint8_t level = t.level.bits(c, r), power = t.power.bits(c, r);
      const Ink ink =
          level && power ? Ink::both : (level ? Ink::level : (power ? Ink::power : Ink::plain));
      row.add((level | power) ? brailleText(level | power) : " ", ink);
    }
    row.add(right[i].empty() ? "\u2502" : "\u251c", Ink::axis);
    if (!right[i].empty()) row.add(" " + right[i]);
    out.push_back(std::move(row));
  }
}

// The charger's row, the time axis with its ticks, and the times under them.
void addTimeRows(const Traces& t, const std::vector<Tick>& ticks, std::vector<GraphRow>& out) {
  const int columns = t.level.columns();
  GraphRow charger, axis, times;
  charger.add(std::string(kLeftGutter - 1, ' '));
  charger.add("\u2502", Ink::axis);
  for (const bool in : t.charger) charger.add(in ? kChargerBar : " ", Ink::charger);
  charger.add("\u2502", Ink::axis);
  axis.add(std::string(kLeftGutter - 1, ' '));
  axis.add("\u2514", Ink::axis);
  // A sleep doubles the axis under it, which reads without colour too.
  for (int c = 0; c < columns; ++c) {
    const bool tick =
        std::any_of(ticks.begin(), ticks.end(), [&](const Tick& k) { return k.column == c; });
    const bool asleep = t.asleep[static_cast<size_t>(c)];
    if (asleep) {
      axis.add(tick ? "\u2564" : "\u2550", Ink::asleep);
    } else {
      axis.add(tick ? "\u252c" : "\u2500", Ink::axis);
    }
  }
  axis.add("\u2518", Ink::axis);
  std::string labels(static_cast<size_t>(columns), ' ');
  int free = 0;  // the first column a label may use
  for (const Tick& k : ticks) {
    const int at = std::clamp(k.column - kTimeLabel / 2, 0, std::max(0, columns - kTimeLabel));
    if (at < free) continue;
    labels.replace(static_cast<size_t>(at), k.label.size(), k.label);
    free = at + kTimeLabel + 1;
  }
  times.add(std::string(kLeftGutter, ' ') + labels);
  for (GraphRow* row : {&charger, &axis, &times}) out.push_back(std::move(*row));
}

}  // namespace

std::vector<GraphRow> plotHistory(const std::vector<Sample>& samples, const PlotArea& area,
                                  const std::vector<SleepEntry>& sleeps) {
  const double start = area.now - area.seconds;
  const PowerScale scale = powerScale(samples, start, area.now);
  size_t rightWidth = 0;
  if (scale.known) {
    for (int q = 0; q <= 4; ++q) {
      rightWidth =
          std::max(rightWidth, powerLabel(scale.hi - q * (scale.hi - scale.lo) / 4).size());
    }
  }
  const int columns =
      area.columns - kLeftGutter - 1 - (rightWidth ? static_cast<int>(rightWidth) + 1 : 0);
  const int rows = area.rows - kBelowPlot;
  if (columns < kTimeLabel * 2 || rows < 2 || area.seconds <= 0) return {};
  Traces traces = trace(samples, area, columns, rows, scale);
  traceSleeps(sleeps, area, DotScale{start, area.seconds, columns * 2, rows * 4}, traces);
  std::vector<GraphRow> out;
  addPlotRows(traces, scale, out);
  addTimeRows(traces, timeTicks(area, columns), out);
  return out;
}
