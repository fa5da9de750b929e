#include "platform/foundation/ns_string.h"

#include <cstdio>
#include <cstring>

std::string NSString::stringWithFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = stringWithFormatV(format, args);
  va_end(args);
  return out;
}

std::string NSString::stringWithFormatV(const char* format, va_list args) {
  // One pass for the usual short text; a second only when it does not fit.
  char small[256];
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  if (length < 0) {
    va_end(again);
    return std::string();
  }
  if (static_cast<size_t>(length) < sizeof small) {
    va_end(again);
    return std::string(small, static_cast<size_t>(length));
  }
  std::string out(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, again);
  va_end(again);
  out.resize(static_cast<size_t>(length));
  return out;
}

std::optional<std::string> NSString::stringWithUTF8CString(const char* bytes) {
  if (!bytes) return std::nullopt;
  std::string text(bytes, std::strlen(bytes));
  if (!platform::isValidUtf8(text)) return std::nullopt;
  return text;
}

namespace platform {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    size_t extra;
    unsigned int min;
    unsigned int code;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, code = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= n) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (s[i + k] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace platform
