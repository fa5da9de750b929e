#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_geometry.h"

class UIView;

namespace host {

// How a device screen of points maps onto terminal cells: a cell is about twice as tall as it
// is wide, and the outline gets at most the room given.
struct CellScale {
  double pointsPerColumn;
  double pointsPerRow;
  int columns;  // inside the outline
  int rows;     // inside the outline, possibly cut at the bottom
};
CellScale fitScreen(CGSize screen, int maxColumns, int maxRows);

// A label somewhere in a view tree, with its centre in the root's coordinates.
struct PlacedLabel {
  std::string text;
  std::optional<UIColor> color;
  CGPoint center;
};
std::vector<PlacedLabel> labelsIn(const UIView* root);

}  // namespace host
