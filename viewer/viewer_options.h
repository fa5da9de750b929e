#pragma once

#include <optional>
#include <string>

#include "viewer/output/output_format.h"

// What the viewer's command line asks for.
struct ViewerOptions {
  bool help = false;
  bool version = false;
  bool once = false;
  bool follow = false;
  OutputFormat format = OutputFormat::screen;
  HistoryTable history = HistoryTable::none;
  double sinceSeconds = 0;
  std::optional<std::string>
      device;  // --device: one of the user's other batteries in a bar  // --since: the samples or
               // sleeps of this many seconds back; 0, all
};

// False, with why, on a bad command line.
bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions& options,
                        std::string& why);

// The help, under the name the viewer was run as (BrimwellViewer, or brimwell).
std::string viewerUsage(const std::string& name);
