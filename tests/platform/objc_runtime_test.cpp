#include "platform/runtime/objc_runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string gCalls;

void baseGreet(id, SEL) {
  gCalls += "base;";
}
void ownGreet(id, SEL) {
  gCalls += "own;";
}
IMP gSaved = nullptr;
void hookedGreet(id self, SEL cmd) {
  gCalls += "hook;";
  reinterpret_cast<void (*)(id, SEL)>(gSaved)(self, cmd);
}
int twice(id, SEL, int x) {
  return 2 * x;
}

Class defineClass(const char* name, Class superclass = nullptr) {
  Class cls = objc_allocateClassPair(superclass, name, 0);
  objc_registerClassPair(cls);
  return cls;
}

TEST(ObjcRuntime, ClassesBySelectorsInterned) {
  Class cls = defineClass("RtClasses");
  EXPECT_EQ(objc_getClass("RtClasses"), cls);
  EXPECT_EQ(objc_getClass("RtNoSuchClass"), nullptr);
  EXPECT_EQ(objc_allocateClassPair(nullptr, "RtClasses", 0), nullptr) << "names are unique";
  EXPECT_EQ(sel_registerName("greet"), sel_registerName(std::string("gr").append("eet").c_str()));
  EXPECT_STREQ(sel_getName(sel_registerName("greet")), "greet");
}

TEST(ObjcRuntime, AddMethodKeepsAnExistingOne) {
  Class cls = defineClass("RtAdd");
  const SEL greet = sel_registerName("greet");
  EXPECT_TRUE(class_addMethod(cls, greet, imp_cast(ownGreet), "v@:"));
  EXPECT_FALSE(class_addMethod(cls, greet, imp_cast(baseGreet), "v@:"));
  EXPECT_EQ(class_getMethodImplementation(cls, greet), imp_cast(ownGreet));
  objc_object object{cls};
  gCalls.clear();
  objc_msgSend<void>(&object, greet);
  EXPECT_EQ(gCalls, "own;");
}

TEST(ObjcRuntime, HookReplacesAndKeepsThePreviousCallable) {
  Class base = defineClass("RtHookBase");
  Class derived = defineClass("RtHookDerived", base);
  const SEL greet = sel_registerName("greet");
  class_addMethod(base, greet, imp_cast(baseGreet), "v@:");

  // Only inherited: the hook overrides it in the subclass and the base stays as it was.
  MSHookMessageEx(derived, greet, imp_cast(hookedGreet), &gSaved);
  EXPECT_EQ(gSaved, imp_cast(baseGreet));
  objc_object d{derived}, b{base};
  gCalls.clear();
  objc_msgSend<void>(&d, greet);
  objc_msgSend<void>(&b, greet);
  EXPECT_EQ(gCalls, "hook;base;base;");

  IMP missing = imp_cast(ownGreet);
  MSHookMessageEx(base, sel_registerName("nobodyHasThis"), imp_cast(ownGreet), &missing);
  EXPECT_EQ(missing, nullptr);
  EXPECT_FALSE(class_respondsToSelector(base, sel_registerName("nobodyHasThis")));
}

TEST(ObjcRuntime, TypedSendChecksTheMethod) {
  Class cls = defineClass("RtSend");
  class_addMethod(cls, sel_registerName("twice:"), imp_cast(twice), "i@:i");
  objc_object object{cls};
  EXPECT_EQ(objc_msgSend<int>(&object, sel_registerName("twice:"), 21), 42);
  EXPECT_EQ(objc_msgSend<int>(nullptr, sel_registerName("twice:"), 21), 0) << "nil answers zero";
  EXPECT_DEATH(objc_msgSend<void>(&object, sel_registerName("absent")),
               "RtSend absent\\]: unrecognized selector");
  EXPECT_DEATH(objc_msgSend<void>(&object, sel_registerName("twice:"), 21),
               "sent as \"v@:i\" but the method is \"i@:i\"");
}

}  // namespace
