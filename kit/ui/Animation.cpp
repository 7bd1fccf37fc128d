#include "kit/ui/Animation.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kit/ui/Renderer.h"

namespace kit {

namespace {

// Times closer than this count as equal, so that a chain of blocks whose times are sums of
// decimal fractions ends on the turn it should.
constexpr double kTimeEpsilon = 1e-9;

template <class T>
struct Change {
  View* view;
  T from;
  T to;
};

// The x and y of the cubic Bezier (0.42, 0) (0.58, 1) at parameter s.
double bezierX(double s) {
  double r = 1 - s;
  return 3 * r * r * s * 0.42 + 3 * r * s * s * 0.58 + s * s * s;
}
double bezierY(double s) {
  return s * s * (3 - 2 * s);
}

void track(std::vector<View*>& views, View* view) {
  if (std::find(views.begin(), views.end(), view) == views.end()) views.push_back(view);
}

template <class T>
void record(std::vector<Change<T>>& changes, View& view, const T& from, const T& to) {
  for (auto& change : changes) {
    if (change.view == &view) {
      change.to = to;  // a second change in the same block keeps the first starting point
      return;
    }
  }
  changes.push_back({&view, from, to});
}

template <class T>
void install(const std::vector<Change<T>>& changes,
             std::optional<PropertyAnimation<T>> ViewAnimations::*slot,
             const std::shared_ptr<AnimationBlock>& block, std::vector<View*>& animated) {
  for (const auto& change : changes) {
    if (!(change.from == change.to)) block->changesLook = true;
    auto& running = change.view->animations()->*slot;
    if (running && running->block != block) running->block->superseded = true;
    running = PropertyAnimation<T>{change.from, change.to, block};
    track(animated, change.view);
  }
}

template <class T>
void clearEnded(std::optional<PropertyAnimation<T>>& animation) {
  if (animation && animation->block->ended) animation.reset();
}

// Drops an animation of a view that goes away; a block cut short this way has not finished.
template <class T>
void drop(std::optional<PropertyAnimation<T>>& animation, double now) {
  if (!animation) return;
  if (now < animation->block->endTime() - kTimeEpsilon) animation->block->superseded = true;
  animation.reset();
}

void recordHiddenFlags(const View& view, std::vector<HiddenFlag>& flags) {
  flags.push_back({&view, view.weakReference(), view.isHidden()});
  for (const View* child : view.subviews()) recordHiddenFlags(*child, flags);
}

bool hasState(const ViewAnimations& a) {
  return a.center || a.alpha || a.transform || a.transition;
}

}  // namespace

double easeInOut(double t) {
  if (t <= 0) return 0;
  if (t >= 1) return 1;
  // Solve bezierX(s) = t by bisection; bezierX rises monotonically from 0 to 1.
  double lo = 0, hi = 1, s = t;
  for (int i = 0; i < 50; ++i) {
    s = (lo + hi) / 2;
    double x = bezierX(s);
    if (x == t) break;
    (x < t ? lo : hi) = s;
  }
  return bezierY(s);
}

double blockProgress(const AnimationBlock& block, double now) {
  if (now < block.startTime()) return 0;
  if (block.duration <= 0 || now >= block.endTime()) return 1;
  return easeInOut((now - block.startTime()) / block.duration);
}

struct Animator::Pending {
  std::shared_ptr<AnimationBlock> block = std::make_shared<AnimationBlock>();
  std::vector<Change<Point>> centers;
  std::vector<Change<double>> alphas;
  std::vector<Change<Transform>> transforms;

  template <class T>
  static void forget(std::vector<Change<T>>& changes, const View& view) {
    std::erase_if(changes, [&view](const Change<T>& c) { return c.view == &view; });
  }
};

TransitionState::~TransitionState() {
  recyclePicture(before);
  recyclePicture(after);
}

namespace {
// The animator whose block is being built: blocks are built on the main thread only.
Animator* gBuilding = nullptr;
}  // namespace

Animator::Animator(const Clock& clock, std::function<void(Rect)> damage)
    : clock_(clock), damage_(std::move(damage)) {}

Animator::~Animator() {
  stop();
}

Animator* Animator::building() {
  return gBuilding;
}

ViewAnimations& Animator::stateOf(View& view) {
  ViewAnimations& state = view.ensureAnimations();
  state.animator = this;
  return state;
}

bool Animator::isBuildingFor(const View& view) const {
  auto has = [&view](const auto& changes) {
    return std::any_of(changes.begin(), changes.end(),
                       [&view](const auto& change) { return change.view == &view; });
  };
  return std::any_of(building_.begin(), building_.end(), [&has](const auto& pending) {
    return has(pending->centers) || has(pending->alphas) || has(pending->transforms);
  });
}

void Animator::stop() {
  if (gBuilding == this) gBuilding = nullptr;
  // Taken out first: a callback's captures may destroy views, which then call forget.
  std::vector<std::unique_ptr<Pending>> building = std::move(building_);
  std::vector<std::shared_ptr<AnimationBlock>> running = std::move(running_);
  std::vector<View*> animated = std::move(animatedViews_);
  building_.clear();
  running_.clear();
  animatedViews_.clear();
  lastDrawn_.clear();
  for (View* view : animated) {
    if (ViewAnimations* a = view->animations()) {
      a->center.reset();
      a->alpha.reset();
      a->transform.reset();
      a->transition.reset();
    }
  }
  // Views with changes in a block being built, or animated once, no longer reach this animator.
  auto release = [this](View* view) {
    ViewAnimations* a = view->animations();
    if (a && a->animator == this) a->animator = nullptr;
  };
  for (View* view : animated) release(view);
  for (const auto& pending : building) {
    for (const auto& change : pending->centers) release(change.view);
    for (const auto& change : pending->alphas) release(change.view);
    for (const auto& change : pending->transforms) release(change.view);
  }
  building.clear();
  running.clear();
}

void Animator::begin(const std::string& animationID, void* context) {
  gBuilding = this;
  auto pending = std::make_unique<Pending>();
  pending->block->animationID = animationID;
  pending->block->context = context;
  pending->block->commitTime = commitTime();
  building_.push_back(std::move(pending));
}

AnimationBlock& Animator::current() {
  return *building_.back()->block;
}

void Animator::setTransition(AnimationTransition transition, View* forView, bool /*cache*/) {
  if (building_.empty() || !forView || transition == AnimationTransition::None) return;
  auto state = std::make_unique<TransitionState>();
  state->kind = transition;
  auto& slot = stateOf(*forView).transition;
  if (slot && !slot->block->ended && !slot->hiddenBefore.empty()) {
    // An earlier transition not drawn yet: the screen still shows the look from before it.
    state->hiddenBefore = std::move(slot->hiddenBefore);
  } else if (slot && !slot->block->ended && clock_.now() < slot->block->startTime()) {
    // An earlier transition waiting out its delay shows its first picture.
    state->before = std::move(slot->before);
  } else if (slot && !slot->block->ended) {
    // The old look is an earlier transition under way: it is drawn now, before the new one
    // replaces it.
    state->before = Renderer::snapshot(*forView, currentRenderScale());
  } else {
    recordHiddenFlags(*forView, state->hiddenBefore);
  }
  state->block = building_.back()->block;
  state->block->hasTransition = true;
  state->block->changesLook = true;
  if (slot && slot->block != state->block) slot->block->superseded = true;
  slot = std::move(state);
  rememberArea(*forView);
  track(animatedViews_, forView);
}

void Animator::commit() {
  if (building_.empty()) return;
  std::unique_ptr<Pending> pending = std::move(building_.back());
  building_.pop_back();
  if (building_.empty() && gBuilding == this) gBuilding = nullptr;
  const auto& block = pending->block;
  block->commitTime = commitTime();
  install(pending->centers, &ViewAnimations::center, block, animatedViews_);
  install(pending->alphas, &ViewAnimations::alpha, block, animatedViews_);
  install(pending->transforms, &ViewAnimations::transform, block, animatedViews_);
  // Where the views show now, from where they start moving.
  for (const auto& change : pending->centers) rememberArea(*change.view);
  for (const auto& change : pending->alphas) rememberArea(*change.view);
  for (const auto& change : pending->transforms) rememberArea(*change.view);

  running_.push_back(block);
}

void Animator::animateCenter(View& view, Point from, Point to) {
  if (building_.empty()) return;
  stateOf(view);
  record(building_.back()->centers, view, from, to);
}

void Animator::animateAlpha(View& view, double from, double to) {
  if (building_.empty()) return;
  stateOf(view);
  record(building_.back()->alphas, view, from, to);
}

void Animator::animateTransform(View& view, const Transform& from, const Transform& to) {
  if (building_.empty()) return;
  stateOf(view);
  record(building_.back()->transforms, view, from, to);
}

void Animator::endFinishedBlocks() {
  double now = clock_.now();
  std::vector<std::shared_ptr<AnimationBlock>> due;
  for (const auto& block : running_) {
    if (now >= block->endTime() - kTimeEpsilon) due.push_back(block);
  }
  if (due.empty()) return;
  for (const auto& block : due) block->ended = true;
  std::erase_if(running_, [](const auto& block) { return block->ended; });
  // Commit order breaks ties; end times are compared on a nanosecond grid.
  std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return std::llround(a->endTime() * 1e9) < std::llround(b->endTime() * 1e9);
  });

  // Every ended block's views settle on their model values before any callback runs.
  std::vector<View*> settled;
  for (View* view : animatedViews_) {
    ViewAnimations& a = *view->animations();
    auto ends = [](const auto& animation) { return animation && animation->block->ended; };
    if (ends(a.center) || ends(a.alpha) || ends(a.transform) || ends(a.transition)) {
      settled.push_back(view);
    }
    clearEnded(a.center);
    clearEnded(a.alpha);
    clearEnded(a.transform);
    if (a.transition && a.transition->block->ended) a.transition.reset();
  }
  std::erase_if(animatedViews_, [this](View* view) {
    ViewAnimations& a = *view->animations();
    if (hasState(a)) return false;
    if (a.animator == this && !isBuildingFor(*view)) a.animator = nullptr;
    return true;
  });
  // The final values show in one more frame.
  for (View* view : settled) damageMoved(*view, hasState(*view->animations()));

  for (const auto& block : due) {
    if (!block->didStop) continue;
    if (block->delegate && block->delegateAlive.expired()) continue;
    callbackTime_ = block->endTime();
    block->didStop(block->delegate, block->animationID, !block->superseded, block->context);
    callbackTime_ = -1;
  }
}

double Animator::commitTime() const {
  return callbackTime_ >= 0 ? std::min(callbackTime_, clock_.now()) : clock_.now();
}

bool Animator::isAnimating() const {
  return !running_.empty();
}

bool Animator::isTransitionRunning() const {
  double now = clock_.now();
  return std::any_of(running_.begin(), running_.end(), [now](const auto& block) {
    return block->hasTransition && now < block->endTime() - kTimeEpsilon;
  });
}

bool Animator::isMoving(double now) const {
  return std::any_of(running_.begin(), running_.end(), [now](const auto& block) {
    return block->changesLook && now > block->startTime() && now < block->endTime();
  });
}

double Animator::nextChangeTime(double now) const {
  double earliest = std::numeric_limits<double>::infinity();
  for (const auto& block : running_) {
    if (block->changesLook && now < block->startTime()) {
      earliest = std::min(earliest, block->startTime());
    } else if (block->changesLook && now < block->endTime()) {
      return now;
    }
    earliest = std::min(earliest, block->endTime());
  }
  return std::max(earliest, now);
}

void Animator::forget(View& view) {
  for (auto& pending : building_) {
    Pending::forget(pending->centers, view);
    Pending::forget(pending->alphas, view);
    Pending::forget(pending->transforms, view);
  }
  if (ViewAnimations* a = view.animations()) {
    double now = clock_.now();
    drop(a->center, now);
    drop(a->alpha, now);
    drop(a->transform, now);
    if (a->transition) {
      if (now < a->transition->block->endTime() - kTimeEpsilon) {
        a->transition->block->superseded = true;
      }
      a->transition.reset();
    }
  }
  std::erase(animatedViews_, &view);
  std::erase_if(lastDrawn_, [&view](const auto& entry) { return entry.first == &view; });
}

void Animator::rememberArea(const View& view) {
  for (const auto& entry : lastDrawn_) {
    if (entry.first == &view) return;  // already moving: its last frame counts
  }
  lastDrawn_.emplace_back(&view, drawnArea(view));
}

void Animator::damageMoved(const View& view, bool keep) {
  auto entry = std::find_if(lastDrawn_.begin(), lastDrawn_.end(),
                            [&view](const auto& e) { return e.first == &view; });
  Rect now = drawnArea(view);
  if (entry != lastDrawn_.end()) {
    if (damage_ && !entry->second.isEmpty()) damage_(entry->second);
    if (keep) {
      entry->second = now;
    } else {
      lastDrawn_.erase(entry);
    }
  }
  if (damage_ && !now.isEmpty()) damage_(now);
}

void Animator::addMovingDamage() {
  double now = clock_.now();
  auto moving = [now](const auto& animation) {
    return animation && animation->block->changesLook && now > animation->block->startTime();
  };
  for (View* view : animatedViews_) {
    ViewAnimations& a = *view->animations();
    if (moving(a.center) || moving(a.alpha) || moving(a.transform) || moving(a.transition)) {
      damageMoved(*view, true);
    }
  }
}

}  // namespace kit
