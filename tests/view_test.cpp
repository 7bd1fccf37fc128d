// The view tree: geometry, ownership, tags, coordinates and hit testing.

#include "kit/View.h"

#include <gtest/gtest.h>

#include <memory>

#include "kit/Application.h"
#include "kit/Button.h"
#include "kit/Clock.h"

using namespace kit;

namespace {

class ViewTest : public ::testing::Test {
 protected:
  ManualClock clock;
  Application app{clock};
};

// A view that reports its own destruction.
class Watched : public View {
 public:
  Watched(Size size, bool* gone) : View(size), gone_(gone) {}
  ~Watched() override { *gone_ = true; }

 private:
  bool* gone_;
};

void expectPoint(Point expected, Point actual) {
  EXPECT_NEAR(expected.x, actual.x, 1e-9);
  EXPECT_NEAR(expected.y, actual.y, 1e-9);
}

}  // namespace

TEST_F(ViewTest, GeometryPlacesByCentre) {
  View view({100, 40});
  EXPECT_EQ((Rect{{0, 0}, {100, 40}}), view.frame());
  expectPoint({50, 20}, view.center());

  view.setCenter({200, 300});
  EXPECT_EQ((Rect{{150, 280}, {100, 40}}), view.frame());
  EXPECT_EQ((Rect{{0, 0}, {100, 40}}), view.bounds());

  view.setFrame({{10, 20}, {60, 80}});
  expectPoint({40, 60}, view.center());
  EXPECT_EQ((Size{60, 80}), view.bounds().size);

  // The frame ignores the transform; the transform acts about the centre.
  view.setTransform(Transform::makeScale(2, 2));
  EXPECT_EQ((Rect{{10, 20}, {60, 80}}), view.frame());

  view.setAlpha(1.5);
  EXPECT_EQ(1, view.alpha());
  view.setAlpha(-1);
  EXPECT_EQ(0, view.alpha());
}

TEST_F(ViewTest, ChildrenStackAndTagsSearchDepthFirst) {
  View root({300, 300});
  root.tag = 1;
  View* first = root.addSubview(std::make_unique<View>(Size{10, 10}));
  Button* second = root.addSubview(std::make_unique<Button>(Size{10, 10}));
  View* nested = first->addSubview(std::make_unique<View>(Size{5, 5}));
  first->tag = 2;
  nested->tag = 7;
  second->tag = 7;

  ASSERT_EQ(2u, root.subviews().size());
  EXPECT_EQ(first, root.subviews()[0]);
  EXPECT_EQ(second, root.subviews()[1]);
  EXPECT_EQ(&root, first->superview());
  EXPECT_EQ(first, nested->superview());

  EXPECT_EQ(&root, root.viewWithTag(1));
  EXPECT_EQ(first, root.viewWithTag(2));
  EXPECT_EQ(nested, root.viewWithTag(7));  // inside the first child before the second child
  EXPECT_EQ(nullptr, root.viewWithTag(99));
  EXPECT_EQ(second, second->viewWithTag(7));

  // Adding a child again brings it to the top.
  root.addSubview(first);
  EXPECT_EQ(first, root.subviews()[1]);
  EXPECT_EQ(second, root.viewWithTag(7));
}

TEST_F(ViewTest, BorrowedChildDetachesWhicheverSideGoesFirst) {
  auto window = std::make_unique<View>(Size{768, 1024});
  auto rootA = std::make_unique<View>(Size{768, 1004});
  window->addSubview(rootA.get());
  EXPECT_EQ(window.get(), rootA->superview());
  rootA.reset();
  EXPECT_TRUE(window->subviews().empty());

  auto rootB = std::make_unique<View>(Size{768, 1004});
  window->addSubview(rootB.get());
  window.reset();
  EXPECT_EQ(nullptr, rootB->superview());

  // An owned child moved to another parent keeps living there.
  bool gone = false;
  auto oldParent = std::make_unique<View>(Size{10, 10});
  View newParent({10, 10});
  Watched* child = oldParent->addSubview(std::make_unique<Watched>(Size{1, 1}, &gone));
  newParent.addSubview(child);
  oldParent.reset();
  EXPECT_FALSE(gone);
  EXPECT_EQ(&newParent, child->superview());

  // Taken out and handed back, it survives; removed, it is destroyed.
  std::unique_ptr<View> kept = child->detachFromSuperview();
  EXPECT_EQ(child, kept.get());
  EXPECT_TRUE(newParent.subviews().empty());
  newParent.addSubview(std::move(kept));
  child->removeFromSuperview();
  EXPECT_TRUE(gone);
  EXPECT_TRUE(newParent.subviews().empty());
}

TEST_F(ViewTest, CoordinatesFollowCentresAndTransforms) {
  View root({400, 400});
  View* parent = root.addSubview(std::make_unique<View>(Size{100, 100}));
  parent->setCenter({200, 200});  // origin (150, 150)
  View* child = parent->addSubview(std::make_unique<View>(Size{20, 20}));
  child->setCenter({10, 10});

  expectPoint({150, 150}, child->convertToAncestor({0, 0}, &root));
  expectPoint({5, 5}, child->convertFromAncestor({155, 155}, &root));

  // Doubled about its centre, the parent's origin moves to (100, 100) in the root.
  parent->setTransform(Transform::makeScale(2, 2));
  expectPoint({100, 100}, parent->convertToAncestor({0, 0}, &root));
  expectPoint({110, 110}, child->convertToAncestor({5, 5}, &root));
  expectPoint({15, 15}, child->convertFromAncestor({130, 130}, &root));
  // nullptr: up to the top of the tree, into its parent's coordinates.
  Point top = child->convertToAncestor({3, 4}, nullptr);
  expectPoint({3, 4}, child->convertFromAncestor(top, nullptr));
}

TEST_F(ViewTest, HitTestingSkipsHiddenTransparentAndUntouchableViews) {
  View root({300, 300});
  View* below = root.addSubview(std::make_unique<View>(Size{100, 100}));
  View* above = root.addSubview(std::make_unique<View>(Size{100, 100}));
  below->setCenter({100, 100});
  above->setCenter({120, 120});  // overlaps `below` over (70..150)

  EXPECT_EQ(above, root.hitTest({100, 100}));  // the later child lies on top
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

  // A view that takes no touches lets them through to its siblings below, then its parent...
  above->userInteractionEnabled = false;
  EXPECT_EQ(below, root.hitTest({100, 100}));
  EXPECT_EQ(&root, root.hitTest({160, 160}));
  // ...and takes its children with it.
  View* inside = above->addSubview(std::make_unique<View>(Size{10, 10}));
  inside->setCenter({50, 50});
  EXPECT_EQ(below, root.hitTest({120, 120}));
  above->userInteractionEnabled = true;
  EXPECT_EQ(inside, root.hitTest({120, 120}));
}

TEST_F(ViewTest, HitTestingUsesTransformsAndParentBounds) {
  View root({300, 300});
  View* box = root.addSubview(std::make_unique<View>(Size{40, 40}));
  box->setCenter({150, 150});  // frame (130..170)
  EXPECT_EQ(&root, root.hitTest({120, 150}));
  box->setTransform(Transform::makeScale(2, 2));  // drawn over (110..190)
  EXPECT_EQ(box, root.hitTest({115, 150}));
  EXPECT_EQ(&root, root.hitTest({105, 150}));
  box->setTransform(Transform::makeScale(0, 0));
  EXPECT_EQ(&root, root.hitTest({150, 150}));
  box->setTransform(Transform::identity());

  // A child reaching out of its parent is hit only where it lies within the parent.
  View* outside = box->addSubview(std::make_unique<View>(Size{40, 40}));
  outside->setCenter({40, 20});  // spans x 20..60 of the box, whose width is 40
  EXPECT_EQ(outside, root.hitTest({155, 150}));
  EXPECT_EQ(&root, root.hitTest({180, 150}));

  // Model values decide: a view animating away is hit where it is going.
  View::beginAnimations("move", nullptr);
  box->setCenter({50, 50});
  View::commitAnimations();
  EXPECT_EQ(&root, root.hitTest({150, 150}));
  EXPECT_EQ(outside, root.hitTest({55, 50}));
}
