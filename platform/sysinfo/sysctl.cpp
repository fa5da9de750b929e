#include "platform/sysinfo/sysctl.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/foundation/device_environment.h"

int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, const void* newp, size_t newlen) {
  if (!name || std::strcmp(name, "hw.machine") != 0) {
    errno = ENOENT;
    return -1;
  }
  if (newp || newlen) {
    errno = EPERM;
    return -1;
  }
  const std::string value = platform::machineIdentifier();
  const size_t needed = value.size() + 1;
  if (!oldlenp) {
    errno = EINVAL;
    return -1;
  }
  if (!oldp) {
    *oldlenp = needed;
    return 0;
  }
  if (*oldlenp < needed) {
    errno = ENOMEM;
    return -1;
  }
  std::memcpy(oldp, value.c_str(), needed);
  *oldlenp = needed;
  return 0;
}
