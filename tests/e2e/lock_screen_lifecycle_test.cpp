// The plug-in loaded into this process beside the host's classes, to watch the view pair's
// ownership directly.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/classes/host_classes.h"
#include "platform/uikit/ui_view.h"

namespace {

class LockScreenLifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    registerHostClasses(HostListener{});
    handle_ = dlopen(BRIMWELL_DYLIB, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    inited_ = static_cast<bool*>(dlsym(handle_, "isContentViewInited"));
    container_ = static_cast<UIView**>(dlsym(handle_, "containView"));
    label_ = static_cast<UILabel**>(dlsym(handle_, "remainingTime"));
    ASSERT_TRUE(inited_ && container_ && label_);
  }

  static SBLockScreenBatteryChargingViewController* load(int number) {
    auto* controller = new SBLockScreenBatteryChargingViewController(number);
    controllerView(controller);
    return controller;
  }
  static void destroy(SBLockScreenBatteryChargingViewController* controller) {
    objc_msgSend<void>(controller, sel_registerName("dealloc"));
  }

  void* handle_ = nullptr;
  bool* inited_ = nullptr;
  UIView** container_ = nullptr;
  UILabel** label_ = nullptr;
};

TEST_F(LockScreenLifecycle, TenThousandCyclesLeaveNoViewBehind) {
  const long before = UIView::liveViews();
  for (int i = 1; i <= 10000; ++i) destroy(load(i));
  EXPECT_EQ(UIView::liveViews(), before);
  EXPECT_FALSE(*inited_);
  EXPECT_EQ(*container_, nullptr);
  EXPECT_EQ(*label_, nullptr);
}

TEST_F(LockScreenLifecycle, OnePairForTheProcess) {
  const long before = UIView::liveViews();
  auto* first = load(1);
  ASSERT_TRUE(*inited_);
  UILabel* label = *label_;
  UIView* container = *container_;
  EXPECT_EQ(container->superview(), first->rootView);

  // A second load reuses the pair and moves it.
  auto* second = load(2);
  EXPECT_EQ(*label_, label);
  EXPECT_EQ(*container_, container);
  EXPECT_EQ(container->superview(), second->rootView);
  EXPECT_TRUE(first->rootView->subviews().empty());
  EXPECT_EQ(container->retainCount(), 2) << "the state's reference and the superview's";

  // The first dealloc of either tears it down; the next load builds a new one.
  destroy(first);
  EXPECT_FALSE(*inited_);
  EXPECT_TRUE(second->rootView->subviews().empty());
  auto* third = load(3);
  EXPECT_TRUE(*inited_);
  EXPECT_EQ((*container_)->superview(), third->rootView);
  destroy(second);
  destroy(third);  // the pair was already gone: only the host's dealloc runs
  EXPECT_EQ(UIView::liveViews(), before);
}

TEST_F(LockScreenLifecycle, AddedMethodsCarryTheTypesOfTheHookTable) {
  const struct {
    const char* className;
    const char* selector;
    const char* types;
  } rows[] = {
      {"SpringBoard", "popAlertView", "v@:"},
      {"SpringBoard", "popDIYLevelAlertView", "v@:"},
      {"SpringBoard", "playVibrate", "v@:"},
      {"SpringBoard", "playSound", "v@:"},
      {"SpringBoard", "writeStatusToFile:", "v@:@"},
      {"SBLockScreenBatteryChargingViewController", "initChargingTextView", "v@:"},
      {"SBLockScreenBatteryChargingViewController", "setupContainViewCenter", "v@:"},
  };
  for (const auto& r : rows) {
    const char* types =
        class_getMethodTypes(objc_getClass(r.className), sel_registerName(r.selector));
    ASSERT_NE(types, nullptr) << r.selector;
    EXPECT_STREQ(types, r.types) << r.selector;
  }
}

// A host class that already has initChargingTextView keeps it, so the plug-in's never makes the
// pair; every later step must cope with the missing label and container.
TEST(LockScreenWithoutAPair, AHostMethodOfTheSameNameLeavesNothingToTearDown) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, the plug-in not yet loaded
  EXPECT_EXIT(
      {
        registerHostClasses(HostListener{});
        Class controllerClass = objc_getClass("SBLockScreenBatteryChargingViewController");
        void (*nothing)(id, SEL) = [](id, SEL) {};
        class_addMethod(controllerClass, sel_registerName("initChargingTextView"), nothing);
        void* plugIn = dlopen(BRIMWELL_DYLIB, RTLD_NOW | RTLD_LOCAL);
        auto* inited = static_cast<bool*>(dlsym(plugIn, "isContentViewInited"));
        auto* controller = new SBLockScreenBatteryChargingViewController(1);
        controllerView(controller);
        const bool initedWithoutAPair = *inited;
        objc_msgSend<void>(controller, sel_registerName("dealloc"));
        std::exit(initedWithoutAPair && !*inited ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
