#include "platform/runtime/loader.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/foundation/device_environment.h"

namespace platform {

size_t loadDynamicLibraries() {
  const std::string folder = deviceFilePath("/Library/MobileSubstrate/DynamicLibraries");
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 6 && name.compare(name.size() - 6, 6, ".dylib") == 0) names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());

  size_t loaded = 0;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    // Kept open for the life of the process, as a device's loader does.
    if (dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      ++loaded;
    } else {
      const char* why = dlerror();
      std::fprintf(stderr, "%s: cannot load %s: %s\n", program_invocation_short_name, name.c_str(),
                   why ? why : "unknown error");
    }
  }
  return loaded;
}

}  // namespace platform
