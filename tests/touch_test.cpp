// The view tree's ownership: a child detaches whichever side goes first, and one moved to
// another parent lives on. Hit testing, tap counts, the responder chain and buttons are tried
// through the kiosk's own screens in the kiosk tests.

#include <gtest/gtest.h>

#include <memory>

#include "kit/app/Application.h"
#include "kit/base/Clock.h"
#include "kit/ui/View.h"

using namespace kit;

namespace {

// A view that reports its own destruction.
class Watched : public View {
 public:
  explicit Watched(bool* gone) : View({1, 1}), gone_(gone) {}
  ~Watched() override { *gone_ = true; }

 private:
  bool* gone_;
};

TEST(ViewTree, ChildrenDetachWhicheverSideGoesFirstAndMovedChildrenLiveOn) {
  ManualClock clock;
  Application app{clock};
  auto window = std::make_unique<View>(Size{768, 1024});
  auto borrowed = std::make_unique<View>(Size{768, 1004});
  window->addSubview(borrowed.get());
  borrowed.reset();
  EXPECT_TRUE(window->subviews().empty());
  borrowed = std::make_unique<View>(Size{768, 1004});
  window->addSubview(borrowed.get());
  window.reset();
  EXPECT_EQ(nullptr, borrowed->superview());

  bool gone = false;
  auto oldParent = std::make_unique<View>(Size{10, 10});
  View newParent({10, 10});
  Watched* child = oldParent->addSubview(std::make_unique<Watched>(&gone));
  newParent.addSubview(child);
  oldParent.reset();
  EXPECT_FALSE(gone);
  child->removeFromSuperview();
  EXPECT_TRUE(gone);
}

}  // namespace
