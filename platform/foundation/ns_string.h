#pragma once

#include <cstdarg>
#include <optional>
#include <string>

#include "platform/api.h"

// Strings are UTF-8 std::string; these are the platform's string factories.
struct PLATFORM_API NSString {
  // printf-family formatting; "%s" stands where the device's "%@" takes a string.
  static std::string stringWithFormat(const char* format, ...)
      __attribute__((format(printf, 1, 2)));
  static std::string stringWithFormatV(const char* format, va_list args);
  // A string from a NUL-terminated byte string read as UTF-8; none when it is not valid UTF-8.
  static std::optional<std::string> stringWithUTF8CString(const char* bytes);
};

namespace platform {
PLATFORM_API bool isValidUtf8(const std::string& text);
}
