#include "viewer/graph/graph_canvas.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Braille numbers its dots down the left column (1, 2, 3), down the right (4, 5, 6), then the
// bottom row (7, 8): dot n is bit n-1.
constexpr uint8_t kDotBit[4][2] = {{0x01, 0x08}, {0x02, 0x10}, {0x04, 0x20}, {0x40, 0x80}};

}  // namespace

BrailleCanvas::BrailleCanvas(int columns, int rows)
    : columns_(std::max(0, columns)),
      rows_(std::max(0, rows)),
      cells_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), 0) {}

void BrailleCanvas::set(int x, int y) {
  if (x < 0 || y < 0 || x >= dotWidth() || y >= dotHeight()) return;
  cells_[static_cast<size_t>(y / 4) * static_cast<size_t>(columns_) + static_cast<size_t>(x / 2)] |=
      kDotBit[y % 4][x % 2];
}

void BrailleCanvas::line(int x0, int y0, int x1, int y1) {
  // Bresenham's walk, in whole dots, any direction.
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    set(x0, y0);
    if (x0 == x1 && y0 == y1) return;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

uint8_t BrailleCanvas::bits(int column, int row) const {
  if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return 0;
  return cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) +
                static_cast<size_t>(column)];
}

std::string BrailleCanvas::cellText(int column, int row) const {
  const uint8_t dots = bits(column, row);
  return dots ? brailleText(dots) : std::string(" ");
}

std::string brailleText(uint8_t bits) {
  // U+2800 + bits in three UTF-8 bytes: 1110 0010, 10 1000 bb, 10 bbbbbb.
  std::string text = "\xE2";
  text.push_back(static_cast<char>(0xA0 | (bits >> 6)));
  text.push_back(static_cast<char>(0x80 | (bits & 0x3F)));
  return text;
}
