#pragma once

#include <optional>
#include <string>

#include "viewer/output/output_format.h"

class BIDMainTableViewController;

// The status for scripts and status bars, from the controller's latest refresh; or, given a
// device (its name or kind), that one of the user's other batteries in a bar.
// One output and its exit status (i3blocks reads 33 as urgent).
int printStatusOnce(OutputFormat format, BIDMainTableViewController& controller,
                    const std::optional<std::string>& device = std::nullopt);
// A line at start and one each time the status file or the devices file changes (a line for no
// status when it goes; with a device, a line each time its line changes, an empty one when it
// goes), until stopped or until nobody reads them, which ends it quietly.
int followStatus(OutputFormat format, BIDMainTableViewController& controller,
                 const std::optional<std::string>& device = std::nullopt);
