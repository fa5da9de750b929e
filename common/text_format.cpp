#include "common/text_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace brimwell {
namespace {

template <typename T>
std::string shortest(T value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string shortestDecimal(double value) {
  return shortest(value);
}
std::string shortestDecimal(float value) {
  return shortest(value);
}

template <typename T>
std::string joined(std::initializer_list<T> values) {
  std::string out;
  for (T v : values) {
    if (!out.empty()) out.push_back(',');
    out += shortest(v);
  }
  return out;
}

std::string commaSeparated(std::initializer_list<double> values) {
  return joined(values);
}
std::string commaSeparated(std::initializer_list<float> values) {
  return joined(values);
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\x%02x", c);
          out += escape;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
  return out;
}

}  // namespace brimwell
