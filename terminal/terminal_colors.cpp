#include "terminal/terminal_colors.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgb {
  int r, g, b;
};

int channel(float component) {
  const float clamped = std::clamp(std::isnan(component) ? 0.0f : component, 0.0f, 1.0f);
  return static_cast<int>(std::lround(clamped * 255.0f));
}

Rgb toRgb(UIColor c) {
  return Rgb{channel(c.red), channel(c.green), channel(c.blue)};
}

int distance(Rgb a, Rgb b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

constexpr int kCubeLevels[6] = {0, 95, 135, 175, 215, 255};

int nearestCubeIndex(int value) {
  int best = 0;
  for (int i = 1; i < 6; ++i) {
    if (std::abs(kCubeLevels[i] - value) < std::abs(kCubeLevels[best] - value)) best = i;
  }
  return best;
}

}  // namespace

namespace terminal {

int directColor(UIColor color) {
  const Rgb c = toRgb(color);
  return (c.r << 16) | (c.g << 8) | c.b;
}

int nearestXterm256(UIColor color) {
  const Rgb c = toRgb(color);
  const int ri = nearestCubeIndex(c.r), gi = nearestCubeIndex(c.g), bi = nearestCubeIndex(c.b);
  const int cubeIndex = 16 + 36 * ri + 6 * gi + bi;
  const Rgb cube{kCubeLevels[ri], kCubeLevels[gi], kCubeLevels[bi]};
  // The grey ramp 232..255 runs from 8 to 238 in steps of 10.
  const int average = (c.r + c.g + c.b) / 3;
  const int greyStep = std::clamp((average - 8 + 5) / 10, 0, 23);
  const int greyLevel = 8 + 10 * greyStep;
  const Rgb grey{greyLevel, greyLevel, greyLevel};
  return distance(c, grey) < distance(c, cube) ? 232 + greyStep : cubeIndex;
}

int nearestBasic8(UIColor color) {
  // Order of the curses constants: black, red, green, yellow, blue, magenta, cyan, white.
  static const Rgb kBasic[8] = {{0, 0, 0},   {205, 0, 0},   {0, 205, 0},   {205, 205, 0},
                                {0, 0, 238}, {205, 0, 205}, {0, 205, 205}, {229, 229, 229}};
  const Rgb c = toRgb(color);
  int best = 0;
  for (int i = 1; i < 8; ++i) {
    if (distance(c, kBasic[i]) < distance(c, kBasic[best])) best = i;
  }
  return best;
}

}  // namespace terminal
