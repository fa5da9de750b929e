#include "viewer/devices/text_cells.h"

#include <algorithm>
#include <iterator>

#include "common/utf8.h"

namespace {

struct Range {
  char32_t first, last;
};

// Marks drawn on the character before them, and the zero-width spaces and joiners.
constexpr Range kZeroWidth[] = {{0x0300, 0x036f}, {0x0483, 0x0489}, {0x0591, 0x05bd},
                                {0x1ab0, 0x1aff}, {0x1dc0, 0x1dff}, {0x200b, 0x200f},
                                {0x20d0, 0x20ff}, {0xfe00, 0xfe0f}, {0xfe20, 0xfe2f}};
// East Asian wide and fullwidth characters and the emoji a terminal draws two cells wide.
constexpr Range kWide[] = {{0x1100, 0x115f},   {0x2e80, 0x303e},   {0x3041, 0x33ff},
                           {0x3400, 0x4dbf},   {0x4e00, 0x9fff},   {0xa000, 0xa4cf},
                           {0xac00, 0xd7a3},   {0xf900, 0xfaff},   {0xfe30, 0xfe4f},
                           {0xff00, 0xff60},   {0xffe0, 0xffe6},   {0x1f300, 0x1f64f},
                           {0x1f900, 0x1f9ff}, {0x20000, 0x2fffd}, {0x30000, 0x3fffd}};

template <size_t N>
bool within(const Range (&ranges)[N], char32_t c) {
  return std::any_of(std::begin(ranges), std::end(ranges),
                     [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// The character at text[at] (`length` bytes of well-formed UTF-8).
char32_t codePoint(const std::string& text, size_t at, size_t length) {
  static constexpr unsigned char kLeadBits[] = {0, 0x7f, 0x1f, 0x0f, 0x07};
  char32_t c = static_cast<unsigned char>(text[at]) & kLeadBits[length];
  for (size_t i = 1; i < length; ++i)
    c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3f);
  return c;
}

// The bytes and cells of the character at text[at]; a byte that starts none is one of each.
std::pair<size_t, int> characterAt(const std::string& text, size_t at) {
  const size_t length = brimwell::utf8SequenceAt(text, at);
  if (length == 0) return {1, 1};
  const char32_t c = codePoint(text, at, length);
  if (within(kZeroWidth, c)) return {length, 0};
  return {length, within(kWide, c) ? 2 : 1};
}

}  // namespace

int textCells(const std::string& text) {
  int cells = 0;
  for (size_t at = 0; at < text.size();) {
    const auto [length, width] = characterAt(text, at);
    cells += width;
    at += length;
  }
  return cells;
}

std::string fittedToCells(const std::string& text, int cells) {
  if (textCells(text) <= cells) return text;
  if (cells <= 0) return "";
  const int room = cells - 1;  // the ellipsis takes one
  int used = 0;
  size_t end = 0;
  while (end < text.size()) {
    const auto [length, width] = characterAt(text, end);
    if (used + width > room) break;
    used += width;
    end += length;
  }
  return text.substr(0, end) + "\u2026";
}
