#pragma once

// Coordinates as on a 64-bit device, whose CGFloat is a double.
using CGFloat = double;

struct CGPoint {
  CGFloat x = 0, y = 0;
};
struct CGSize {
  CGFloat width = 0, height = 0;
};
struct CGRect {
  CGPoint origin;
  CGSize size;
};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
  return CGRect{CGPoint{x, y}, CGSize{width, height}};
}
