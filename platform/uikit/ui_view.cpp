#include "platform/uikit/ui_view.h"

#include <algorithm>

namespace {
long gLiveViews = 0;
unsigned long gDisplayGeneration = 0;
}  // namespace

UIView::UIView(CGRect frame, const char* className) : NSObject(className), frame_(frame) {
  ++gLiveViews;
}

UIView::~UIView() {
  for (UIView* child : subviews_) {
    child->superview_ = nullptr;
    child->release();
  }
  --gLiveViews;
}

UIView* UIView::retain() {
  ++references_;
  return this;
}

void UIView::release() {
  if (--references_ == 0) delete this;
}

long UIView::liveViews() {
  return gLiveViews;
}
unsigned long UIView::displayGeneration() {
  return gDisplayGeneration;
}
void UIView::setNeedsDisplay() {
  ++gDisplayGeneration;
}

void UIView::setFrame(CGRect frame) {
  frame_ = frame;
  setNeedsDisplay();
}

CGPoint UIView::center() const {
  return CGPoint{frame_.origin.x + frame_.size.width / 2, frame_.origin.y + frame_.size.height / 2};
}

void UIView::setCenter(CGPoint center) {
  frame_.origin = CGPoint{center.x - frame_.size.width / 2, center.y - frame_.size.height / 2};
  setNeedsDisplay();
}

void UIView::setBackgroundColor(UIColor color) {
  background_ = color;
  setNeedsDisplay();
}

void UIView::addSubview(UIView* view) {
  if (!view || view == this) return;
  view->retain();
  view->removeFromSuperview();
  view->superview_ = this;
  subviews_.push_back(view);
  setNeedsDisplay();
}

void UIView::removeFromSuperview() {
  UIView* parent = superview_;
  if (!parent) return;
  auto& siblings = parent->subviews_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  superview_ = nullptr;
  setNeedsDisplay();
  release();
}

// A label given what it already shows has nothing new to draw.
void UILabel::setText(std::optional<std::string> text) {
  if (text == text_) return;
  text_ = std::move(text);
  setNeedsDisplay();
}

void UILabel::setTextColor(UIColor color) {
  if (textColor_ == color) return;
  textColor_ = color;
  setNeedsDisplay();
}

void UILabel::setFont(UIFont font) {
  font_ = font;
  setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
  alignment_ = alignment;
  setNeedsDisplay();
}

void UITableView::setTableHeaderView(UIView* view) {
  if (view) view->retain();
  if (header_) header_->release();
  header_ = view;
  setNeedsDisplay();
}

UITableView::~UITableView() {
  if (header_) header_->release();
}
