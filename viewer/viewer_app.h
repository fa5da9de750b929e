#pragma once

// The whole viewer program: arguments, start-up, and either one printed refresh (--once) or the
// live screen until the user quits.
int runViewer(int argc, char** argv);
