#include "platform/runtime/objc_runtime.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

struct objc_method {
  IMP imp;
  std::string types;
};

struct objc_class {
  std::string name;
  Class superclass;
  std::map<SEL, objc_method> methods;
  bool registered = false;
};

namespace {

// Hosts and plug-ins call in on one thread (the host's user-interface thread), so the
// registries need no lock.
std::map<std::string, std::unique_ptr<objc_class>, std::less<>>& classes() {
  static std::map<std::string, std::unique_ptr<objc_class>, std::less<>> registry;
  return registry;
}

std::set<std::string, std::less<>>& selectorNames() {
  static std::set<std::string, std::less<>> names;
  return names;
}

const objc_method* findMethod(Class cls, SEL name) {
  for (; cls; cls = cls->superclass) {
    auto found = cls->methods.find(name);
    if (found != cls->methods.end()) return &found->second;
  }
  return nullptr;
}

}  // namespace

Class objc_getClass(const char* name) {
  if (!name) return nullptr;
  auto found = classes().find(std::string_view(name));
  return found != classes().end() && found->second->registered ? found->second.get() : nullptr;
}

Class objc_allocateClassPair(Class superclass, const char* name, size_t) {
  if (!name || classes().count(std::string_view(name))) return nullptr;
  auto cls = std::make_unique<objc_class>();
  cls->name = name;
  cls->superclass = superclass;
  Class raw = cls.get();
  classes().emplace(name, std::move(cls));
  return raw;
}

void objc_registerClassPair(Class cls) {
  if (cls) cls->registered = true;
}

const char* class_getName(Class cls) {
  return cls ? cls->name.c_str() : "nil";
}

Class class_getSuperclass(Class cls) {
  return cls ? cls->superclass : nullptr;
}

SEL sel_registerName(const char* name) {
  // Interned: a selector's identity is the address of its one stored name.
  const std::string& stored = *selectorNames().emplace(name ? name : "").first;
  return reinterpret_cast<SEL>(stored.c_str());
}

const char* sel_getName(SEL sel) {
  return sel ? reinterpret_cast<const char*>(sel) : "(null)";
}

bool class_addMethod(Class cls, SEL name, IMP imp, const char* types) {
  if (!cls || !name || !imp) return false;
  return cls->methods.emplace(name, objc_method{imp, types ? types : ""}).second;
}

IMP class_getMethodImplementation(Class cls, SEL name) {
  const objc_method* m = findMethod(cls, name);
  return m ? m->imp : nullptr;
}

const char* class_getMethodTypes(Class cls, SEL name) {
  const objc_method* m = findMethod(cls, name);
  return m ? m->types.c_str() : nullptr;
}

bool class_respondsToSelector(Class cls, SEL name) {
  return findMethod(cls, name) != nullptr;
}

void MSHookMessageEx(Class cls, SEL name, IMP replacement, IMP* result) {
  const objc_method* existing = findMethod(cls, name);
  if (!cls || !existing || !replacement) {
    if (result) *result = nullptr;
    return;
  }
  const IMP previous = existing->imp;
  auto own = cls->methods.find(name);
  if (own != cls->methods.end()) {
    own->second.imp = replacement;
  } else {
    cls->methods.emplace(name, objc_method{replacement, existing->types});
  }
  if (result) *result = previous;
}

namespace objc_detail {

IMP lookUpForSend(id self, SEL name, const std::string& types) {
  const objc_method* m = findMethod(self->isa, name);
  if (!m) {
    std::fprintf(stderr, "objc: -[%s %s]: unrecognized selector sent to instance %p\n",
                 class_getName(self->isa), sel_getName(name), static_cast<void*>(self));
    std::abort();
  }
  if (m->types != types) {
    std::fprintf(stderr, "objc: -[%s %s]: sent as \"%s\" but the method is \"%s\"\n",
                 class_getName(self->isa), sel_getName(name), types.c_str(), m->types.c_str());
    std::abort();
  }
  return m->imp;
}

}  // namespace objc_detail
