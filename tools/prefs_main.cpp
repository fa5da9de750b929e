#include <iostream>

#include "tools/prefs_app.h"

int main(int argc, char** argv) {
  return runPrefs(argc, argv, std::cout, std::cerr);
}
