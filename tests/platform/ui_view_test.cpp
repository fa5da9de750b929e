#include "platform/uikit/ui_view.h"

#include <gtest/gtest.h>

namespace {

TEST(UIView, SuperviewOwnsItsSubviewsAndAViewHasOneSuperview) {
  const long before = UIView::liveViews();
  UIView* a = UIView::create(CGRectMake(0, 0, 100, 100));
  UIView* b = UIView::create(CGRectMake(0, 0, 100, 100));
  UILabel* label = UILabel::create(CGRectMake(0, 0, 10, 10));

  a->addSubview(label);
  EXPECT_EQ(label->retainCount(), 2);
  b->addSubview(label);  // moves: still one owning superview
  EXPECT_EQ(label->superview(), b);
  EXPECT_TRUE(a->subviews().empty());
  ASSERT_EQ(b->subviews().size(), 1u);
  EXPECT_EQ(label->retainCount(), 2);

  label->release();  // the superview keeps it alive
  EXPECT_EQ(UIView::liveViews(), before + 3);
  label->removeFromSuperview();  // last reference gone
  EXPECT_EQ(UIView::liveViews(), before + 2);

  UILabel* kept = UILabel::create(CGRectMake(0, 0, 10, 10));
  b->addSubview(kept);
  kept->release();
  b->release();  // frees its subviews with it
  a->release();
  EXPECT_EQ(UIView::liveViews(), before);
}

TEST(UIView, CenterMovesTheFrame) {
  UIView* v = UIView::create(CGRectMake(0, 0, 320, 30));
  EXPECT_EQ(v->center().x, 160);
  EXPECT_EQ(v->center().y, 15);
  v->setCenter(CGPoint{187.5, 181.640625});
  EXPECT_EQ(v->frame().origin.x, 27.5);
  EXPECT_EQ(v->frame().origin.y, 166.640625);
  EXPECT_EQ(v->frame().size.width, 320);
  v->release();
}

TEST(UIView, VisibleChangesMoveTheDisplayGeneration) {
  UILabel* label = UILabel::create(CGRectMake(0, 0, 10, 10));
  const auto before = UIView::displayGeneration();
  label->setText(std::string("87.50%"));
  label->setTextColor(UIColor::blueColor());
  EXPECT_GT(UIView::displayGeneration(), before);
  label->release();
}

}  // namespace
