#include "platform/foundation/ns_string.h"

#include <cstdio>
#include <cstring>

#include "common/utf8.h"

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
  for (size_t at = 0; at < text.size();) {
    const size_t length = brimwell::utf8SequenceAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace platform
