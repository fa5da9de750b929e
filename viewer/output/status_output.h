#pragma once

#include "viewer/output/output_format.h"

class BIDMainTableViewController;

// The status for scripts and status bars, from the controller's latest refresh.
// One output and its exit status (i3blocks reads 33 as urgent).
int printStatusOnce(OutputFormat format, BIDMainTableViewController& controller);
// A line at start and one each time the status file changes (a line for no status when it goes),
// until stopped or until nobody reads them, which ends it quietly.
int followStatus(OutputFormat format, BIDMainTableViewController& controller);
