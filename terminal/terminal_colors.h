#pragma once

#include "platform/uikit/ui_color.h"

// How a colour is shown on a terminal of a given depth; shared by every program that draws.
namespace terminal {

enum class TerminalDepth { none, basic8, xterm256, direct };

// 0xRRGGBB, for terminals that take colours directly.
int directColor(UIColor color);
// The nearest entry of the xterm 256-colour palette (its 6x6x6 cube and grey ramp).
int nearestXterm256(UIColor color);
// The nearest of the eight basic colours (COLOR_BLACK ... COLOR_WHITE).
int nearestBasic8(UIColor color);

}  // namespace terminal
