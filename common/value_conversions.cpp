#include "common/value_conversions.h"

#include <cmath>
#include <limits>

#include "common/saturating_truncate.h"
#include "common/string_number_rules.h"
#include "common/text_format.h"

namespace brimwell {
namespace {

// libplist keeps every integer as a 64-bit pattern; the battery values are signed.
int64_t signedIntegerOf(plist_t node) {
  uint64_t raw = 0;
  plist_get_uint_val(node, &raw);
  return static_cast<int64_t>(raw);
}

// By pointer, up to the buffer's end: libplist's copying getter aborts, and the length it
// reports can be wrong, on strings it read with a NUL inside.
std::string stringOf(plist_t node) {
  const char* text = plist_get_string_ptr(node, nullptr);
  return text ? std::string(text) : std::string();
}

int32_t saturate(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t intValueOf(plist_t node) {
  if (!node) return 0;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT:
      return saturate(signedIntegerOf(node));
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return b ? 1 : 0;
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return saturatingTruncate(d);
    }
    case PLIST_STRING:
      return stringIntValue(stringOf(node));
    default:
      return 0;
  }
}

bool boolValueOf(plist_t node) {
  if (!node) return false;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT:
      return signedIntegerOf(node) != 0;
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return b != 0;
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return d != 0.0;  // NaN is not zero, so it reads as true
    }
    case PLIST_STRING:
      return stringBoolValue(stringOf(node));
    default:
      return false;
  }
}

std::optional<std::string> textOf(plist_t node) {
  if (!node) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_STRING:
      return stringOf(node);
    case PLIST_UINT:
      return std::to_string(signedIntegerOf(node));
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return std::string(b ? "1" : "0");
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return shortestDecimal(d);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace brimwell
