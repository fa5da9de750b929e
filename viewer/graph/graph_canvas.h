#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture in Braille cells (U+2800-U+28FF): each cell holds 2 x 4 dots, so a terminal area of
// W x H cells draws 2W x 4H points. Dots outside the canvas are dropped.
class BrailleCanvas {
 public:
  BrailleCanvas(int columns, int rows);

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  int dotWidth() const { return columns_ * 2; }
  int dotHeight() const { return rows_ * 4; }

  void set(int x, int y);
  // Every dot on the straight line between two dots, both ends included.
  void line(int x0, int y0, int x1, int y1);

  // The cell's dots as the low byte of its code point (0: no dot).
  uint8_t bits(int column, int row) const;
  // The cell as UTF-8; a cell without dots is a space, so that text under it stays readable.
  std::string cellText(int column, int row) const;

 private:
  int columns_, rows_;
  std::vector<uint8_t> cells_;
};

// The Braille character of these dots (U+2800 + bits) as UTF-8.
std::string brailleText(uint8_t bits);
