#pragma once

#include <cstddef>

#include "platform/api.h"

// The device's system information query. Only "hw.machine" is known: its value is the machine
// identifier as a NUL-terminated byte string. With oldp null, *oldlenp receives the length
// (NUL included). Gives -1 with errno ENOENT for an unknown name, ENOMEM for a short buffer.
PLATFORM_API int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, const void* newp,
                              size_t newlen);
