#pragma once

#include <ostream>

// The whole brimwell-prefs program.
int runPrefs(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
