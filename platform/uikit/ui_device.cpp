#include "platform/uikit/ui_device.h"

#include "platform/foundation/device_environment.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using platform::environmentValue;

// "WxH" with non-negative numbers; false for anything else.
bool parseScreen(const char* text, CGFloat& width, CGFloat& height) {
  char* end = nullptr;
  width = std::strtod(text, &end);
  if (end == text || (*end != 'x' && *end != 'X')) return false;
  const char* second = end + 1;
  height = std::strtod(second, &end);
  return end != second && *end == '\0' && width >= 0 && height >= 0;
}

}  // namespace

UIScreen* UIScreen::mainScreen() {
  static UIScreen screen;
  CGFloat width = 320, height = 568;
  if (const char* size = environmentValue("SIM_SCREEN")) {
    if (!parseScreen(size, width, height)) return nullptr;
  }
  screen.bounds_ = CGRectMake(0, 0, width, height);
  return &screen;
}

UIDevice* UIDevice::currentDevice() {
  static UIDevice device;
  return &device;
}

bool UIDevice::respondsToSelector(SEL selector) const {
  if (selector != sel_registerName("userInterfaceIdiom")) return false;
  const char* idiom = environmentValue("SIM_IDIOM");
  return !idiom || std::strcmp(idiom, "none") != 0;
}

UIUserInterfaceIdiom UIDevice::userInterfaceIdiom() const {
  const char* idiom = environmentValue("SIM_IDIOM");
  if (!idiom || std::strcmp(idiom, "phone") == 0) return UIUserInterfaceIdiomPhone;
  if (std::strcmp(idiom, "pad") == 0) return UIUserInterfaceIdiomPad;
  return UIUserInterfaceIdiomUnspecified;
}

UIApplication* UIApplication::sharedApplication() {
  static UIApplication application;
  return &application;
}

UIInterfaceOrientation UIApplication::statusBarOrientation() const {
  const char* orientation = environmentValue("SIM_ORIENTATION");
  return orientation ? std::strtol(orientation, nullptr, 10) : 1;
}
