#pragma once

// Internal to the kit: the state behind View's animation blocks. The kiosk uses only the
// View::beginAnimations family.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/base/Clock.h"
#include "kit/base/Geometry.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/View.h"

namespace kit {

class Animator;

// One committed block: its timing and its did-stop callback.
struct AnimationBlock {
  std::string animationID;
  void* context = nullptr;
  double delay = 0;
  double duration = 0.2;
  double commitTime = 0;
  Object* delegate = nullptr;
  std::weak_ptr<const void> delegateAlive;
  AnimationDidStop didStop;
  bool superseded = false;  // a newer block took over one of its properties
  bool hasTransition = false;
  bool ended = false;
  bool changesLook = false;  // it moves a value or runs a transition; a pure timer does not

  double startTime() const { return commitTime + delay; }
  double endTime() const { return commitTime + delay + duration; }
};

// A property running from `from` to `to` over its block's time span.
template <class T>
struct PropertyAnimation {
  T from;
  T to;
  std::shared_ptr<AnimationBlock> block;
};

// A view's hidden flag as it was when a transition was set on one of its ancestors.
struct HiddenFlag {
  const View* view;
  std::weak_ptr<const void> alive;
  bool hidden;
};

// A drawn transition revealing hidden-flag changes on a view. Its two pictures are taken once each
// and only when first drawn, so that setting up a transition draws nothing: the view's look
// before the block from the hidden flags recorded when the transition was set, its new look when
// the transition starts moving.
struct TransitionState {
  ~TransitionState();
  AnimationTransition kind = AnimationTransition::None;
  std::vector<HiddenFlag> hiddenBefore;  // the subtree's flags, until the picture is taken
  Picture before;
  Picture after;
  bool afterTaken = false;
  // A curl's new picture is drawn a band of device rows at a time, as the curl reveals it: the
  // rows drawn, and whether the rest are clear.
  int afterRowFirst = 0, afterRowEnd = 0;
  bool afterClean = false;
  int framesDrawn = 0;  // while moving
  std::shared_ptr<AnimationBlock> block;
};

struct ViewAnimations {
  // The animator that holds the view's animations or changes of a block being built; cleared
  // when that animator goes first.
  Animator* animator = nullptr;
  std::optional<PropertyAnimation<Point>> center;
  std::optional<PropertyAnimation<double>> alpha;
  std::optional<PropertyAnimation<Transform>> transform;
  std::unique_ptr<TransitionState> transition;
};

// Ease in and out over [0, 1]; symmetric, so halfway in time is halfway in value.
double easeInOut(double t);
// The eased progress of `block` at `now`: 0 before its start, 1 after its end.
double blockProgress(const AnimationBlock& block, double now);

// Collects the block being built, commits blocks, and ends them from the run loop. Each screen has
// one; the views it moves reach it through their animation state.
class Animator {
 public:
  // `damage` takes the screen rects that moving views need drawn again.
  Animator(const Clock& clock, std::function<void(Rect)> damage);
  // Views that outlive it forget it.
  ~Animator();
  Animator(const Animator&) = delete;
  Animator& operator=(const Animator&) = delete;

  const Clock& clock() const { return clock_; }
  // The animator whose block is being built (between begin and commit), if any: View's static
  // block setters act on it.
  static Animator* building();

  // Building a block (between begin and commit).
  void begin(const std::string& animationID, void* context);
  bool isBuilding() const { return !building_.empty(); }
  AnimationBlock& current();
  void setTransition(AnimationTransition transition, View* forView, bool cache);
  void commit();

  // Called by View's setters inside a block.
  void animateCenter(View& view, Point from, Point to);
  void animateAlpha(View& view, double from, double to);
  void animateTransform(View& view, const Transform& from, const Transform& to);

  // Ends every block whose time is up, clearing finished property animations and running the
  // did-stop callbacks in order of end time (commit order for ties).
  void endFinishedBlocks();
  // True while any committed block has not ended.
  bool isAnimating() const;
  // True from the commit of a block with a transition (its delay included) until its end.
  bool isTransitionRunning() const;
  // True while a block that changes the look runs past its delay: each frame then differs.
  bool isMoving(double now) const;
  // The earliest time at or after `now` when a block starts moving or ends; `now` while one
  // moves; infinity when nothing runs.
  double nextChangeTime(double now) const;
  // A view is going away: forget its animations.
  void forget(View& view);
  // Drops every block, built or running, without its did-stop callback, and every view's
  // animations: the views show their model values. What the callbacks held goes meanwhile.
  void stop();
  // Damage for the next frame: where each view that moves showed in the last frame and where it
  // shows now.
  void addMovingDamage();

 private:
  struct Pending;
  // The time a block committed now starts from: inside a did-stop callback, the end time of the
  // block that ended, so that chains keep their exact timing whatever the frame rate.
  double commitTime() const;

  ViewAnimations& stateOf(View& view);
  bool isBuildingFor(const View& view) const;

  const Clock& clock_;
  std::function<void(Rect)> damage_;
  double callbackTime_ = -1;  // the ending block's end time while its callback runs, else < 0
  std::vector<std::unique_ptr<Pending>> building_;
  std::vector<std::shared_ptr<AnimationBlock>> running_;
  std::vector<View*> animatedViews_;
  // Where each animated view showed when last drawn (or when its animation was committed).
  std::vector<std::pair<const View*, Rect>> lastDrawn_;
  void rememberArea(const View& view);
  void damageMoved(const View& view, bool keep);
};

}  // namespace kit
