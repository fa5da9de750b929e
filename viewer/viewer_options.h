#pragma once

#include <string>

// What the viewer's command line asks for.
enum class OutputFormat { screen, json, waybar, i3blocks, polybar, csv };
// The battery's history printed instead: its samples, the packs' health log, or the sleeps.
enum class HistoryTable { none, samples, health, sleeps };

struct ViewerOptions {
  bool help = false;
  bool version = false;
  bool once = false;
  bool follow = false;
  OutputFormat format = OutputFormat::screen;
  HistoryTable history = HistoryTable::none;
  double sinceSeconds = 0;  // --since: the samples or sleeps of this many seconds back; 0, all
};

// False, with why, on a bad command line.
bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions& options,
                        std::string& why);

// The help, under the name the viewer was run as (BrimwellViewer, or brimwell).
std::string viewerUsage(const std::string& name);
