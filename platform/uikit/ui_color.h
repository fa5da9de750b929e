#pragma once

// RGBA from 0 to 1 in 32-bit floats.
struct UIColor {
  float red = 0, green = 0, blue = 0, alpha = 0;

  static UIColor colorWithRed(float r, float g, float b, float a) { return UIColor{r, g, b, a}; }
  static UIColor orangeColor() { return UIColor{1.0f, 0.5f, 0.0f, 1.0f}; }
  static UIColor blueColor() { return UIColor{0.0f, 0.0f, 1.0f, 1.0f}; }
  static UIColor whiteColor() { return UIColor{1.0f, 1.0f, 1.0f, 1.0f}; }
  static UIColor blackColor() { return UIColor{0.0f, 0.0f, 0.0f, 1.0f}; }
  static UIColor clearColor() { return UIColor{0.0f, 0.0f, 0.0f, 0.0f}; }

  bool operator==(const UIColor& o) const {
    return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
  }
  bool operator!=(const UIColor& o) const { return !(*this == o); }
};
