#include "viewer/table/device_model.h"

#include <utility>

namespace {

// Tested in this order; exact, case-sensitive comparison.
constexpr std::pair<const char*, const char*> kModels[] = {
    {"iPhone1,1", "iPhone"},     {"iPhone1,2", "iPhone 3G"},  {"iPhone2,1", "iPhone 3GS"},
    {"iPhone3,1", "iPhone 4"},   {"iPhone3,2", "iPhone 4"},   {"iPhone3,3", "iPhone 4"},
    {"iPhone4,1", "iPhone 4s"},  {"iPhone5,1", "iPhone 5"},   {"iPhone5,2", "iPhone 5"},
    {"iPhone5,3", "iPhone 5c"},  {"iPhone5,4", "iPhone 5c"},  {"iPhone6,1", "iPhone 5s"},
    {"iPhone6,2", "iPhone 5s"},  {"iPhone7,2", "iPhone 6"},   {"iPhone7,1", "iPhone 6 Plus"},
    {"iPad1,1", "iPad"},         {"iPad2,1", "iPad 2"},       {"iPad2,2", "iPad 2"},
    {"iPad2,3", "iPad 2"},       {"iPad2,4", "iPad 2"},       {"iPad2,5", "iPad mini"},
    {"iPad2,6", "iPad mini"},    {"iPad2,7", "iPad mini"},    {"iPad3,1", "iPad 3"},
    {"iPad3,2", "iPad 3"},       {"iPad3,3", "iPad 3"},       {"iPad3,4", "iPad 4"},
    {"iPad3,5", "iPad 4"},       {"iPad3,6", "iPad 4"},       {"iPad4,1", "iPad Air"},
    {"iPad4,2", "iPad Air"},     {"iPad4,4", "iPad mini 2"},  {"iPad4,5", "iPad mini 2"},
    {"iPad4,7", "iPad mini 3"},  {"iPad4,8", "iPad mini 3"},  {"iPad4,9", "iPad mini 3"},
    {"iPad5,3", "iPad Air 2"},   {"iPad5,4", "iPad Air 2"},   {"iPod1,1", "iPod Touch"},
    {"iPod2,1", "iPod Touch 2"}, {"iPod3,1", "iPod Touch 3"}, {"iPod4,1", "iPod Touch 4"},
    {"iPod5,1", "iPod Touch 5"},
};
static_assert(sizeof kModels / sizeof kModels[0] == 43, "the model table has 43 rows");

}  // namespace

std::string deviceModelName(const std::optional<std::string>& identifier) {
  if (!identifier) return "Null";
  for (const auto& [machine, name] : kModels) {
    if (*identifier == machine) return name;
  }
  return *identifier;
}
