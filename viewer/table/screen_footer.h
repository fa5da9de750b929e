#pragma once

#include <optional>
#include <string>
#include <vector>

#include "viewer/table/screen_state.h"

// What the live screen knows about its status file when it draws the footer.
struct FooterFacts {
  bool written = false;                // there is a status file to show
  std::string statusPath;              // where the viewer looks for it
  std::optional<std::string> refusal;  // why its folder is not used
  bool simulated = false;              // on a simulated device, where no service writes
  bool batteryGone = false;            // the host said the battery is gone
  std::optional<double> writtenAt;     // the status file's time, seconds since 1970
  double now = 0;
};

// The footer's lines: the keys while a status is shown, with its time when it is older than the
// host's longest wait between readings; else why none is, where the viewer looked, and how to
// start the host that writes it.
std::vector<std::string> footerLines(const FooterFacts& facts, const Localize& localize);
