#pragma once

#include "viewer/output/output_format.h"

// --history, --health and --sleeps: the samples or sleeps of the last `sinceSeconds` (0: all),
// or the health log, on standard output as CSV or JSON. With no history the output is the header
// alone (an empty array in JSON), "no history yet" goes to stderr, and the exit status is 0, so
// that a script reads an empty table; 1 when the output could not be written.
int printHistoryTable(HistoryTable table, OutputFormat format, double sinceSeconds);
