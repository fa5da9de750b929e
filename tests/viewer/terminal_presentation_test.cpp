#include <gtest/gtest.h>

#include "common/text_format.h"
#include "terminal/terminal_colors.h"
#include "viewer/table/once_output.h"
#include "viewer/table/screen_state.h"

namespace {

TEST(TerminalColors, NearestPaletteEntries) {
  const struct {
    UIColor color;
    int direct, xterm256, basic8;
  } cases[] = {
      {screen_colors::red(), 0xcc0000, 160, 1},
      {screen_colors::green(), 0x00bf00, 34, 2},
      {screen_colors::yellowGreen(), 0x80bf00, 106, 3},
      {UIColor::orangeColor(), 0xff8000, 208, 3},
      {UIColor::blueColor(), 0x0000ff, 21, 4},
      {UIColor::whiteColor(), 0xffffff, 231, 7},
      {UIColor::blackColor(), 0x000000, 16, 0},
      {UIColor{0.5f, 0.5f, 0.5f, 1.0f}, 0x808080, 244, 3},  // no grey among the eight
      {UIColor{0.2f, 0.2f, 0.2f, 1.0f}, 0x333333, 236, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(terminal::directColor(c.color), c.direct) << colorComponents(c.color);
    EXPECT_EQ(terminal::nearestXterm256(c.color), c.xterm256) << colorComponents(c.color);
    EXPECT_EQ(terminal::nearestBasic8(c.color), c.basic8) << colorComponents(c.color);
  }
}

TEST(OnceOutput, QuotingAndColourComponents) {
  EXPECT_EQ(brimwell::quoted("87.50%"), "\"87.50%\"");
  EXPECT_EQ(brimwell::quoted("a \"b\" \\c"), "\"a \\\"b\\\" \\\\c\"");
  EXPECT_EQ(brimwell::quoted("line\nbreak\x01"), "\"line\\nbreak\\x01\"");
  EXPECT_EQ(brimwell::quoted("\xE5\x85\x85\xE7\x94\xB5"), "\"\xE5\x85\x85\xE7\x94\xB5\"");
  EXPECT_EQ(colorComponents(screen_colors::red()), "0.8,0,0,1");
  EXPECT_EQ(colorComponents(screen_colors::green()), "0,0.75,0,1");
  EXPECT_EQ(colorComponents(UIColor::orangeColor()), "1,0.5,0,1");
}

}  // namespace
