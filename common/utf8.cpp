#include "common/utf8.h"

namespace brimwell {

size_t utf8SequenceAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const auto continuation = [&](size_t i, unsigned char low = 0x80, unsigned char high = 0xbf) {
    return at + i < text.size() && byte(i) >= low && byte(i) <= high;
  };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead <= 0xdf) return continuation(1) ? 2 : 0;
  if (lead >= 0xe0 && lead <= 0xef) {
    const unsigned char low = lead == 0xe0 ? 0xa0 : 0x80;   // no overlong forms
    const unsigned char high = lead == 0xed ? 0x9f : 0xbf;  // no surrogates
    return continuation(1, low, high) && continuation(2) ? 3 : 0;
  }
  if (lead >= 0xf0 && lead <= 0xf4) {
    const unsigned char low = lead == 0xf0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xf4 ? 0x8f : 0xbf;  // nothing above U+10FFFF
    return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
  }
  return 0;
}

std::string printableUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = utf8SequenceAt(text, at);
    if (length == 0) {
      ++at;
      continue;
    }
    const auto lead = static_cast<unsigned char>(text[at]);
    const bool control = lead < 0x20 || lead == 0x7f ||
                         (lead == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0);
    if (!control) out.append(text, at, length);
    at += length;
  }
  return out;
}

}  // namespace brimwell
