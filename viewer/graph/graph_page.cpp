#include "viewer/graph/graph_page.h"

#include <algorithm>

#include "viewer/graph/graph_wear.h"

namespace {

GraphRow textRow(const std::string& text, Ink ink = Ink::plain) {
  GraphRow row;
  row.add(" " + text, ink);
  return row;
}

GraphRow legend(bool power, bool asleep, const Localize& localize) {
  GraphRow row;
  row.add(" \u28c0 ", Ink::level);
  row.add(localize("level (%), left") + "   ");
  if (power) {
    row.add("\u28c0 ", Ink::power);
    row.add(localize("power (W), right") + "   ");
  }
  row.add("\u2501 ", Ink::charger);
  row.add(localize("on external power"));
  if (asleep) {
    row.add("   ");
    row.add("\u2550 ", Ink::asleep);
    row.add(localize("asleep"));
  }
  return row;
}

GraphRow keys(size_t chosen, const Localize& localize) {
  std::string spans;
  for (size_t i = 0; i < graphSpans().size(); ++i) {
    const std::string name = graphSpans()[i].name;
    spans += (i ? " " : "") + (i == chosen ? "[" + name + "]" : " " + name + " ");
  }
  return textRow(spans + "  " + localize("1-5 or arrows switch, g or q back"), Ink::axis);
}

}  // namespace

std::vector<GraphRow> graphPage(const GraphPageFacts& f, const Localize& localize) {
  const size_t span = f.span < graphSpans().size() ? f.span : 2;
  std::vector<GraphRow> page;
  page.push_back(
      textRow(filledIn(localize("Battery history, the last %s"), graphSpans()[span].name)));
  std::vector<GraphRow> below;
  if (f.history.none) {
    page.push_back(GraphRow());
    page.push_back(textRow(localize(*f.history.none)));
  } else {
    const double start = f.now - graphSpans()[span].seconds;
    const bool power =
        std::any_of(f.history.samples.begin(), f.history.samples.end(),
                    [&](const auto& s) { return s.powerW && s.time >= start && s.time <= f.now; });
    const bool asleep =
        std::any_of(f.history.sleeps.begin(), f.history.sleeps.end(),
                    [&](const auto& s) { return s.end >= start && s.start <= f.now; });
    page.push_back(legend(power, asleep, localize));
    const std::vector<std::string> wear = wearLines(f.history.health, f.now, localize);
    if (!wear.empty()) below.push_back(GraphRow());
    for (const std::string& line : wear) below.push_back(textRow(line));
    const int plotRows = f.rows - static_cast<int>(page.size() + below.size()) - 1;
    std::vector<GraphRow> plot =
        plotHistory(f.history.samples, {f.now, graphSpans()[span].seconds, f.columns - 1, plotRows},
                    f.history.sleeps);
    if (plot.empty()) plot.push_back(textRow(localize("The terminal is too small for the graph")));
    for (GraphRow& row : plot) {
      GraphRow indented;
      indented.add(" ");
      indented.cells.insert(indented.cells.end(), row.cells.begin(), row.cells.end());
      indented.inks.insert(indented.inks.end(), row.inks.begin(), row.inks.end());
      page.push_back(std::move(indented));
    }
  }
  while (static_cast<int>(page.size() + below.size()) < f.rows - 1) page.push_back(GraphRow());
  page.insert(page.end(), below.begin(), below.end());
  page.push_back(keys(span, localize));
  return page;
}
