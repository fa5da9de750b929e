#include "platform/foundation/ns_object.h"

namespace platform {

Class platformClass(const char* name) {
  if (Class existing = objc_getClass(name)) return existing;
  Class root = objc_getClass("NSObject");
  if (!root) {
    root = objc_allocateClassPair(nullptr, "NSObject", 0);
    objc_registerClassPair(root);
  }
  if (Class existing = objc_getClass(name)) return existing;
  Class cls = objc_allocateClassPair(root, name, 0);
  objc_registerClassPair(cls);
  return cls;
}

}  // namespace platform
