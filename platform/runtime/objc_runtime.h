#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

#include "platform/api.h"

// The object runtime: classes by name, interned selectors, instance methods with type
// encodings, and a typed message send that refuses a selector the class lacks or a call whose
// types differ from the method's.

struct objc_class;
struct objc_selector;
using Class = objc_class*;
using SEL = const objc_selector*;
using IMP = void (*)();

struct objc_object {
  Class isa = nullptr;
};
using id = objc_object*;

PLATFORM_API Class objc_getClass(const char* name);  // null for an unknown name
// Defines a class (superclass may be null); null when the name is taken.
PLATFORM_API Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes);
PLATFORM_API void objc_registerClassPair(Class cls);
PLATFORM_API const char* class_getName(Class cls);
PLATFORM_API Class class_getSuperclass(Class cls);

PLATFORM_API SEL sel_registerName(const char* name);
PLATFORM_API const char* sel_getName(SEL sel);

// Adds an instance method; false and no change when the class itself already has one.
PLATFORM_API bool class_addMethod(Class cls, SEL name, IMP imp, const char* types);
// The implementation a send would run (the superclass chain included), or null.
PLATFORM_API IMP class_getMethodImplementation(Class cls, SEL name);
PLATFORM_API const char* class_getMethodTypes(Class cls, SEL name);  // null when none
PLATFORM_API bool class_respondsToSelector(Class cls, SEL name);

// Replaces cls's instance method and stores the previous implementation in *result, where the
// replacement can call it. A method only inherited is overridden in cls; a selector nobody
// implements is left alone and *result becomes null.
PLATFORM_API void MSHookMessageEx(Class cls, SEL name, IMP replacement, IMP* result);

namespace objc_detail {

template <typename T>
constexpr char encodingOf() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_void_v<U>)
    return 'v';
  else if constexpr (std::is_same_v<U, SEL>)
    return ':';
  else if constexpr (std::is_pointer_v<U> &&
                     std::is_base_of_v<objc_object, std::remove_cv_t<std::remove_pointer_t<U>>>)
    return '@';
  else if constexpr (std::is_same_v<U, bool>)
    return 'B';
  else if constexpr (std::is_same_v<U, int>)
    return 'i';
  else if constexpr (std::is_same_v<U, long>)
    return 'q';
  else if constexpr (std::is_same_v<U, double>)
    return 'd';
  else if constexpr (std::is_same_v<U, float>)
    return 'f';
  else
    static_assert(sizeof(U) == 0, "no type encoding for this argument type");
}

// Finds the method for a send, checks its types and aborts with a clear message otherwise.
PLATFORM_API IMP lookUpForSend(id self, SEL name, const std::string& types);

// The type encoding of an implementation: its result, then self, the selector and each
// argument ("v@:@" for void f(id, SEL, id)).
template <typename R, typename... Args>
std::string methodTypes(R (*)(id, SEL, Args...)) {
  std::string types{encodingOf<R>(), '@', ':'};
  (types.push_back(encodingOf<Args>()), ...);
  return types;
}

}  // namespace objc_detail

// Sends a message: -[self name args...]. A nil receiver answers a zero value, as on the device.
template <typename R = void, typename... Args>
R objc_msgSend(id self, SEL name, Args... args) {
  if (!self) {
    if constexpr (std::is_void_v<R>)
      return;
    else
      return R{};
  }
  using Implementation = R (*)(id, SEL, Args...);
  IMP imp = objc_detail::lookUpForSend(self, name, objc_detail::methodTypes(Implementation{}));
  return reinterpret_cast<R (*)(id, SEL, Args...)>(imp)(self, name, args...);
}

// An implementation of the given C++ type, stored as a generic IMP.
template <typename F>
IMP imp_cast(F* function) {
  return reinterpret_cast<IMP>(function);
}

// Adds an instance method with the type encoding of the implementation's own C++ type, so that
// the two cannot disagree.
template <typename R, typename... Args>
bool class_addMethod(Class cls, SEL name, R (*imp)(id, SEL, Args...)) {
  return class_addMethod(cls, name, imp_cast(imp), objc_detail::methodTypes(imp).c_str());
}
