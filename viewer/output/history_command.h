#pragma once

#include "viewer/viewer_options.h"

// --history and --health: the samples or the health log on standard output, CSV or JSON. With
// no history the output is the header alone (an empty array in JSON), "no history yet" goes to
// stderr, and the exit status is 0, so that a script reads an empty table; 1 when the output
// could not be written.
int printHistoryTable(const ViewerOptions& options);
