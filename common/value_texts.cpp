#include "common/value_texts.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace brimwell {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Advances over a run of digits; false when there is none.
bool skipDigits(std::string_view text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && isDigit(text[at])) ++at;
  return at > start;
}

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
    if (c != word[i]) return false;
  }
  return true;
}

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

Plist integerFromText(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  size_t at = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (at == text.size()) return Plist();
  uint64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    if (!isDigit(text[at])) return Plist();
    const auto digit = static_cast<uint64_t>(text[at] - '0');
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) return Plist();
    magnitude = magnitude * 10 + digit;
  }
  if (!negative) return Plist::unsignedInteger(magnitude);
  constexpr uint64_t kLargestNegative = uint64_t{1} << 63;
  if (magnitude > kLargestNegative) return Plist();
  // Negating in unsigned arithmetic reaches -2^63 without overflow.
  return Plist::integer(static_cast<int64_t>(~magnitude + 1));
}

std::optional<double> realFromText(std::string_view text) {
  size_t at = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  const std::string_view unsignedPart = text.substr(at);
  const bool word = equalsIgnoringCase(unsignedPart, "nan") ||
                    equalsIgnoringCase(unsignedPart, "inf") ||
                    equalsIgnoringCase(unsignedPart, "infinity");
  if (!word) {
    const bool whole = skipDigits(text, at);
    bool fraction = false;
    if (at < text.size() && text[at] == '.') {
      ++at;
      fraction = skipDigits(text, at);
    }
    if (!whole && !fraction) return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
      ++at;
      if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
      if (!skipDigits(text, at)) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
  }
  // The text is now known to be one number; strtod (in the "C" numeric locale the programs
  // keep) gives its nearest double, infinity or zero beyond the range.
  const std::string terminated(text);
  return std::strtod(terminated.c_str(), nullptr);
}

std::optional<std::string> bytesFromBase64(std::string_view text) {
  std::string symbols;
  symbols.reserve(text.size());
  for (char c : text) {
    if (!isBlank(c)) symbols.push_back(c);
  }
  if (symbols.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  if (!symbols.empty() && symbols.back() == '=')
    padding = symbols[symbols.size() - 2] == '=' ? 2 : 1;
  std::string bytes;
  bytes.reserve(symbols.size() / 4 * 3);
  for (size_t i = 0; i < symbols.size(); i += 4) {
    const bool last = i + 4 == symbols.size();
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      const bool padded = last && k >= 4 - padding;
      const int value = padded ? 0 : base64Value(symbols[i + k]);
      if (value < 0) return std::nullopt;  // a stray '=' lands here too
      group = (group << 6) | static_cast<uint32_t>(value);
    }
    bytes.push_back(static_cast<char>(group >> 16));
    if (!last || padding < 2) bytes.push_back(static_cast<char>((group >> 8) & 0xff));
    if (!last || padding < 1) bytes.push_back(static_cast<char>(group & 0xff));
  }
  return bytes;
}

}  // namespace brimwell
