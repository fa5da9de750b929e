#include "common/value_conversions.h"

#include <limits>

#include "common/saturating_truncate.h"
#include "common/string_number_rules.h"
#include "common/text_format.h"

namespace brimwell {
namespace {

int32_t saturatedInteger(const Plist& value) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  if (!value.isNegative()) {
    return value.integerBits() > static_cast<uint64_t>(kMax)
               ? kMax
               : static_cast<int32_t>(value.integerBits());
  }
  const auto negative = static_cast<int64_t>(value.integerBits());
  return negative < kMin ? kMin : static_cast<int32_t>(negative);
}

}  // namespace

int32_t intValueOf(const Plist* value) {
  if (!value) return 0;
  switch (value->kind()) {
    case Plist::Kind::Integer:
      return saturatedInteger(*value);
    case Plist::Kind::Boolean:
      return value->booleanValue() ? 1 : 0;
    case Plist::Kind::Real:
      return saturatingTruncate(value->realValue());
    case Plist::Kind::String:
      return stringIntValue(value->text());
    default:
      return 0;
  }
}

bool boolValueOf(const Plist* value) {
  if (!value) return false;
  switch (value->kind()) {
    case Plist::Kind::Integer:
      return value->integerBits() != 0;
    case Plist::Kind::Boolean:
      return value->booleanValue();
    case Plist::Kind::Real:
      return value->realValue() != 0.0;  // NaN is not zero, so it reads as true
    case Plist::Kind::String:
      return stringBoolValue(value->text());
    default:
      return false;
  }
}

std::optional<std::string> textOf(const Plist* value) {
  if (!value) return std::nullopt;
  switch (value->kind()) {
    case Plist::Kind::String:
      return value->text();
    case Plist::Kind::Integer:
      return value->isNegative() ? std::to_string(static_cast<int64_t>(value->integerBits()))
                                 : std::to_string(value->integerBits());
    case Plist::Kind::Boolean:
      return std::string(value->booleanValue() ? "1" : "0");
    case Plist::Kind::Real:
      return shortestDecimal(value->realValue());
    default:
      return std::nullopt;
  }
}

}  // namespace brimwell
