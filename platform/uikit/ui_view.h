#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/api.h"
#include "platform/foundation/ns_object.h"
#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_geometry.h"

// Views with the device's reference counting: create() hands the caller one owning reference,
// retain()/release() add and drop one, and a superview owns one reference to each subview.
class PLATFORM_API UIView : public NSObject {
 public:
  static UIView* create(CGRect frame) { return new UIView(frame); }

  UIView* retain();
  void release();
  long retainCount() const { return references_; }

  CGRect frame() const { return frame_; }
  void setFrame(CGRect frame);
  CGRect bounds() const { return CGRect{CGPoint{}, frame_.size}; }
  CGPoint center() const;
  // Moves the view so that its centre is at the point, in its superview's coordinates.
  void setCenter(CGPoint center);

  std::optional<UIColor> backgroundColor() const { return background_; }
  void setBackgroundColor(UIColor color);

  // A view has one superview: adding it elsewhere takes it out of the old one first.
  void addSubview(UIView* view);
  void removeFromSuperview();
  UIView* superview() const { return superview_; }
  const std::vector<UIView*>& subviews() const { return subviews_; }

  // Views alive in the process, and a counter that moves on every visible change, so that a
  // presenter knows when to draw again.
  static long liveViews();
  static unsigned long displayGeneration();

 protected:
  explicit UIView(CGRect frame, const char* className = "UIView");
  virtual ~UIView();
  static void setNeedsDisplay();

 private:
  long references_ = 1;
  CGRect frame_;
  std::optional<UIColor> background_;
  UIView* superview_ = nullptr;
  std::vector<UIView*> subviews_;
};

enum NSTextAlignment {
  NSTextAlignmentLeft = 0,
  NSTextAlignmentCenter = 1,
  NSTextAlignmentRight = 2
};

// The system font is the only face; a font is its size.
struct UIFont {
  CGFloat pointSize = 17;
  static UIFont systemFontOfSize(CGFloat size) { return UIFont{size}; }
};

class PLATFORM_API UILabel : public UIView {
 public:
  static UILabel* create(CGRect frame) { return new UILabel(frame); }

  // No text (nil) empties the label.
  const std::optional<std::string>& text() const { return text_; }
  void setText(std::optional<std::string> text);
  std::optional<UIColor> textColor() const { return textColor_; }
  void setTextColor(UIColor color);
  UIFont font() const { return font_; }
  void setFont(UIFont font);
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment alignment);

 protected:
  explicit UILabel(CGRect frame) : UIView(frame, "UILabel") {}

 private:
  std::optional<std::string> text_;
  std::optional<UIColor> textColor_;
  UIFont font_;
  NSTextAlignment alignment_ = NSTextAlignmentLeft;
};

class PLATFORM_API UITableView : public UIView {
 public:
  static UITableView* create(CGRect frame) { return new UITableView(frame); }
  UIView* tableHeaderView() const { return header_; }
  // The table owns its header view.
  void setTableHeaderView(UIView* view);

 protected:
  explicit UITableView(CGRect frame) : UIView(frame, "UITableView") {}
  ~UITableView() override;

 private:
  UIView* header_ = nullptr;
};
