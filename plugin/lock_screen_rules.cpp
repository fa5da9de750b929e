#include "plugin/lock_screen_rules.h"

#include <cmath>

#include "common/charge_arithmetic.h"
#include "platform/foundation/ns_string.h"
#include "plugin/text_language.h"

namespace brimwell::plugin {
namespace {

const ChargingTextSet kSimplified{"\u9884\u8ba1\u5145\u7535",
                                  "\u5c0f\u65f6",
                                  "\u5206\u949f",
                                  "\u5145\u7535\u5df2\u5b8c\u6210",
                                  "\u6b63\u5728\u9884\u4f30\u65f6\u95f4...",
                                  "\u4e0d\u5728\u5145\u7535",
                                  "\u6d93\u6d41\u5145\u7535\u4e2d..."};
const ChargingTextSet kTraditional{"\u9810\u8a08\u5145\u96fb",
                                   "\u5c0f\u6642",
                                   "\u5206\u9418",
                                   "\u5145\u96fb\u5df2\u5b8c\u6210",
                                   "\u6b63\u5728\u9810\u4f30\u6642\u9593...",
                                   "\u4e0d\u5728\u5145\u96fb",
                                   "\u6d93\u6d41\u5145\u96fb\u4e2d..."};
const ChargingTextSet kEnglish{"Remaining Time",       "hour(s)",        "min(s)",
                               "Charging is complete", "Calculating...", "Not charging",
                               "Trickle Charging..."};

}  // namespace

const ChargingTextSet& chargingTextSetFor(const std::vector<std::string>& preferredLanguages) {
  return textSetFor(preferredLanguages, kSimplified, kTraditional, kEnglish);
}

std::string chargingText(const ChargingInputs& in, const ChargingTextSet& texts) {
  if (!in.isCharging) {
    const bool complete = in.chargeMode == 2 && (!in.externalConnected || in.externalChargeCapable);
    return complete ? texts.complete : texts.notCharging;
  }
  // Every comparison with a NaN is false.
  const float p = percentOf(in.currentCapacity, in.maxCapacity);
  if (in.instantAmperage >= 1 && p < 80.0f) {
    const HoursMinutes t =
        toEightyPercentPlusAnHour(in.maxCapacity, in.currentCapacity, in.instantAmperage);
    return NSString::stringWithFormat("%s: %d%s %d%s", texts.title, t.hours, texts.hourUnit,
                                      t.minutes, texts.minuteUnit);
  }
  if (in.instantAmperage >= 1 && p >= 80.0f && p < 100.0f) {
    return NSString::stringWithFormat("%s:%d%s", texts.title, trickleMinutes(p), texts.minuteUnit);
  }
  if (p < 100.0f || std::isnan(p)) return texts.calculating;
  return in.chargeMode == 2 ? texts.trickle : texts.complete;
}

UIColor lockScreenTextColor(int32_t textColor) {
  return textColor == 2 ? UIColor::blackColor() : UIColor::whiteColor();
}

std::optional<CGPoint> containerCenter(CGSize screen, bool isPad, long orientation) {
  const CGFloat w = screen.width, h = screen.height;
  if (isPad) {
    if (orientation == 1 || orientation == 2) return CGPoint{w * 0.5, 220.0};
    if (orientation == 3 || orientation == 4) return CGPoint{h * 0.5, 205.0};
    return std::nullopt;
  }
  return CGPoint{w * 0.5, w > 320.0 ? w / 320.0 * 155.0 : 155.0};
}

}  // namespace brimwell::plugin
