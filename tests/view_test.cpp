// The view tree: geometry, ownership, tags, coordinates and hit testing.

#include "kit/ui/View.h"

#include <gtest/gtest.h>

#include <memory>

#include "kit/app/Application.h"
#include "kit/base/Clock.h"

using namespace kit;

namespace {

class ViewTest : public ::testing::Test {
 protected:
  // A child of `parent` of `size` centred at `center`.
  static View* add(View* parent, Size size, Point center) {
    View* v = parent->addSubview(std::make_unique<View>(size));
    v->setCenter(center);
    return v;
  }
  ManualClock clock;
  Application app{clock};
};

// A view that reports its own destruction.
class Watched : public View {
 public:
  explicit Watched(bool* gone) : View({1, 1}), gone_(gone) {}
  ~Watched() override { *gone_ = true; }

 private:
  bool* gone_;
};

}  // namespace

TEST_F(ViewTest, TagsSearchDepthFirstAndChildrenStack) {
  View root({300, 300});
  View* first = add(&root, {10, 10}, {5, 5});
  View* second = add(&root, {10, 10}, {5, 5});
  View* nested = add(first, {5, 5}, {0, 0});
  nested->tag = second->tag = 7;
  EXPECT_EQ(nested, root.viewWithTag(7));  // inside the first child before the second child
  EXPECT_EQ(nullptr, root.viewWithTag(99));
  root.addSubview(first);  // adding a child again brings it to the top
  EXPECT_EQ(second, root.viewWithTag(7));
}

TEST_F(ViewTest, BorrowedAndOwnedChildrenDetachWhicheverSideGoesFirst) {
  auto window = std::make_unique<View>(Size{768, 1024});
  auto borrowed = std::make_unique<View>(Size{768, 1004});
  window->addSubview(borrowed.get());
  borrowed.reset();
  EXPECT_TRUE(window->subviews().empty());
  borrowed = std::make_unique<View>(Size{768, 1004});
  window->addSubview(borrowed.get());
  window.reset();
  EXPECT_EQ(nullptr, borrowed->superview());

  // An owned child moved to another parent keeps living there; removed, it is destroyed.
  bool gone = false;
  auto oldParent = std::make_unique<View>(Size{10, 10});
  View newParent({10, 10});
  Watched* child = oldParent->addSubview(std::make_unique<Watched>(&gone));
  newParent.addSubview(child);
  oldParent.reset();
  EXPECT_FALSE(gone);
  child->removeFromSuperview();
  EXPECT_TRUE(gone);
  EXPECT_TRUE(newParent.subviews().empty());
}

TEST_F(ViewTest, CoordinatesFollowCentresAndTransforms) {
  View root({400, 400});
  View* parent = add(&root, {100, 100}, {200, 200});  // origin (150, 150)
  View* child = add(parent, {20, 20}, {10, 10});
  EXPECT_EQ((Point{150, 150}), child->convertToAncestor({0, 0}, &root));
  // Doubled about its centre, the parent's origin moves to (100, 100) in the root.
  parent->setTransform(Transform::makeScale(2, 2));
  EXPECT_EQ((Point{110, 110}), child->convertToAncestor({5, 5}, &root));
  EXPECT_EQ((Point{15, 15}), child->convertFromAncestor({130, 130}, &root));
}

TEST_F(ViewTest, HitTestingSkipsHiddenTransparentAndUntouchableViews) {
  View root({300, 300});
  View* below = add(&root, {100, 100}, {100, 100});
  View* above = add(&root, {100, 100}, {120, 120});  // overlaps `below` over (70..150)
  EXPECT_EQ(above, root.hitTest({100, 100}));        // the later child lies on top
  EXPECT_EQ(below, root.hitTest({60, 60}));
  EXPECT_EQ(&root, root.hitTest({250, 20}));
  EXPECT_EQ(nullptr, root.hitTest({300, 10}));  // the right edge is outside

  above->setHidden(true);
  EXPECT_EQ(below, root.hitTest({100, 100}));
  above->setHidden(false);
  above->setAlpha(0.009);
  EXPECT_EQ(below, root.hitTest({100, 100}));
  above->setAlpha(0.01);
  EXPECT_EQ(above, root.hitTest({100, 100}));

  // A view that takes no touches lets them through to its siblings below, then its parent, and
  // takes its children with it.
  above->userInteractionEnabled = false;
  EXPECT_EQ(below, root.hitTest({100, 100}));
  EXPECT_EQ(&root, root.hitTest({160, 160}));
  View* inside = add(above, {10, 10}, {50, 50});
  EXPECT_EQ(below, root.hitTest({120, 120}));
  above->userInteractionEnabled = true;
  EXPECT_EQ(inside, root.hitTest({120, 120}));
}

TEST_F(ViewTest, HitTestingUsesTransformsParentBoundsAndModelValues) {
  View root({300, 300});
  View* box = add(&root, {40, 40}, {150, 150});   // frame (130..170)
  box->setTransform(Transform::makeScale(2, 2));  // drawn over (110..190)
  EXPECT_EQ(box, root.hitTest({115, 150}));
  EXPECT_EQ(&root, root.hitTest({105, 150}));
  box->setTransform(Transform::makeScale(0, 0));
  EXPECT_EQ(&root, root.hitTest({150, 150}));
  box->setTransform(Transform::identity());

  // A child reaching out of its parent is hit only where it lies within the parent.
  View* outside = add(box, {40, 40}, {40, 20});  // spans x 20..60 of the box, 40 wide
  EXPECT_EQ(outside, root.hitTest({155, 150}));
  EXPECT_EQ(&root, root.hitTest({180, 150}));

  // A view animating away is hit where it is going.
  View::beginAnimations("move", nullptr);
  box->setCenter({50, 50});
  View::commitAnimations();
  EXPECT_EQ(&root, root.hitTest({150, 150}));
  EXPECT_EQ(outside, root.hitTest({55, 50}));
}
