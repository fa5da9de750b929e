#pragma once

#include "platform/api.h"
#include "platform/runtime/objc_runtime.h"

namespace platform {
// The runtime class of a platform type, defined on first use under NSObject.
PLATFORM_API Class platformClass(const char* name);
}  // namespace platform

// The root of the platform's objects, so that they can travel as id in a message.
class PLATFORM_API NSObject : public objc_object {
 protected:
  explicit NSObject(const char* className) { isa = platform::platformClass(className); }
};
