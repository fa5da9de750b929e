#include "host/screen/lock_screen_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/ui_view.h"

namespace host {
namespace {

void collect(const UIView* view, CGPoint origin, std::vector<PlacedLabel>& out) {
  const CGRect f = view->frame();
  const CGPoint here{origin.x + f.origin.x, origin.y + f.origin.y};
  if (view->isa == objc_getClass("UILabel")) {
    const auto* label = static_cast<const UILabel*>(view);
    out.push_back({label->text().value_or(""), label->textColor(),
                   CGPoint{here.x + f.size.width / 2, here.y + f.size.height / 2}});
  }
  for (const UIView* child : view->subviews()) collect(child, here, out);
}

}  // namespace

CellScale fitScreen(CGSize screen, int maxColumns, int maxRows) {
  const double width = std::max(screen.width, 1.0);
  const double height = std::max(screen.height, 1.0);
  // Wide enough for a 17-point line of the phone's width: about 36 columns for 320 points.
  const int columns =
      std::max(10, std::min(maxColumns, static_cast<int>(std::lround(width / 320.0 * 36))));
  CellScale s;
  s.pointsPerColumn = width / columns;
  s.pointsPerRow = s.pointsPerColumn * 2;
  s.columns = columns;
  s.rows = std::max(1, std::min(maxRows, static_cast<int>(std::lround(height / s.pointsPerRow))));
  return s;
}

std::vector<PlacedLabel> labelsIn(const UIView* root) {
  std::vector<PlacedLabel> labels;
  if (!root) return labels;
  for (const UIView* child : root->subviews()) collect(child, CGPoint{}, labels);
  return labels;
}

}  // namespace host
