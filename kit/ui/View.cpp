#include "kit/ui/View.h"

#include <cairo.h>

#include <algorithm>
#include <typeinfo>

#include "kit/ui/Animation.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"
#include "kit/ui/ViewController.h"

namespace kit {

namespace {

// Marks `screenRect` of the screen that `view` shows on.
void damage(const View& view, Rect screenRect) {
  if (screenRect.isEmpty()) return;
  if (Screen* screen = view.screen()) screen->setNeedsDisplayInRect(screenRect);
}

// The animator while a block is being built, else nullptr (setters then act at once).
Animator* buildingAnimator() {
  return Animator::building();
}

// How far `block` has come, on the clock of the animator that runs it; an animation whose
// animator has gone shows its end.
double progressNow(const ViewAnimations& animations, const AnimationBlock& block) {
  return animations.animator ? blockProgress(block, animations.animator->clock().now()) : 1;
}

// A point of `view`'s coordinates in its parent's, and back; the transform acts about the centre.
Point toParent(const View& view, Point p) {
  Rect b = view.bounds();
  Point c = view.center();
  Point t = view.transform().apply({p.x - b.size.width / 2, p.y - b.size.height / 2});
  return {t.x + c.x, t.y + c.y};
}

Point fromParent(const View& view, Point p) {
  Rect b = view.bounds();
  Point c = view.center();
  Point t = view.transform().inverted().apply({p.x - c.x, p.y - c.y});
  return {t.x + b.size.width / 2, t.y + b.size.height / 2};
}

// A running animation set aside by a direct change: its block no longer finishes.
template <class T>
void cancel(std::optional<PropertyAnimation<T>>& animation) {
  if (!animation) return;
  animation->block->superseded = true;
  animation.reset();
}

}  // namespace

View::View(Size size) : size_(size), center_{size.width / 2, size.height / 2} {}

View::~View() {
  if (animations_ && animations_->animator) animations_->animator->forget(*this);
  if (superview_) {
    Screen* screen = superview_->screen();
    auto& siblings = superview_->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    superview_ = nullptr;
    if (screen) screen->setNeedsDisplay();
  }
  // Children let go of this view first, so that none of them reaches back into it as it goes.
  for (View* child : subviews_) child->superview_ = nullptr;
  subviews_.clear();
  owned_.clear();
}

void View::adopt(std::unique_ptr<View> child) {
  View* raw = child.get();
  if (!raw || raw == this) return;
  raw->detachFromSuperview().release();  // only a parent that did not own it can hold it here
  owned_.push_back(std::move(child));
  attach(raw);
}

void View::addSubview(View* child) {
  if (!child || child == this) return;
  if (child->superview_ == this) {
    subviews_.erase(std::find(subviews_.begin(), subviews_.end(), child));
    subviews_.push_back(child);
    damage(*this, drawnArea(*child));
    return;
  }
  if (std::unique_ptr<View> owned = child->detachFromSuperview())
    owned_.push_back(std::move(owned));
  attach(child);
}

void View::attach(View* child) {
  child->superview_ = this;
  subviews_.push_back(child);
  damage(*this, drawnArea(*child));
}

std::unique_ptr<View> View::detachFromSuperview() {
  View* parent = superview_;
  if (!parent) return nullptr;
  damage(*this, drawnArea(*this));
  auto& siblings = parent->subviews_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  superview_ = nullptr;
  std::unique_ptr<View> self;
  auto owned = std::find_if(parent->owned_.begin(), parent->owned_.end(),
                            [this](const std::unique_ptr<View>& v) { return v.get() == this; });
  if (owned != parent->owned_.end()) {
    self = std::move(*owned);
    parent->owned_.erase(owned);
  }
  return self;
}

void View::removeFromSuperview() {
  detachFromSuperview();
}

View* View::viewWithTag(int wanted) {
  if (tag == wanted) return this;
  for (View* child : subviews_) {
    if (View* found = child->viewWithTag(wanted)) return found;
  }
  return nullptr;
}

Rect View::frame() const {
  return {{center_.x - size_.width / 2, center_.y - size_.height / 2}, size_};
}

void View::setFrame(Rect frame) {
  bool resized = !(size_ == frame.size);
  if (resized) setNeedsDisplay();  // where it was drawn
  size_ = frame.size;
  setCenter(frame.center());
  if (resized) setNeedsDisplay();
}

void View::setCenter(Point center) {
  Point from = presentationCenter();
  Animator* animator = buildingAnimator();
  Rect before = animator ? Rect{} : drawnArea(*this);
  center_ = center;
  if (animator) {
    // Inside a block the picture changes only once the block starts moving.
    animator->animateCenter(*this, from, center);
    return;
  }
  if (animations_) cancel(animations_->center);
  damage(*this, before);
  damage(*this, drawnArea(*this));
}

void View::setTransform(const Transform& transform) {
  Transform from = presentationTransform();
  Animator* animator = buildingAnimator();
  Rect before = animator ? Rect{} : drawnArea(*this);
  transform_ = transform;
  if (animator) {
    animator->animateTransform(*this, from, transform);
    return;
  }
  if (animations_) cancel(animations_->transform);
  damage(*this, before);
  damage(*this, drawnArea(*this));
}

void View::setAlpha(double alpha) {
  alpha = std::clamp(alpha, 0.0, 1.0);
  double from = presentationAlpha();
  Animator* animator = buildingAnimator();
  Rect before = animator ? Rect{} : drawnArea(*this);
  alpha_ = alpha;
  if (animator) {
    animator->animateAlpha(*this, from, alpha);
    return;
  }
  if (animations_) cancel(animations_->alpha);
  damage(*this, before);
  damage(*this, drawnArea(*this));
}

void View::setHidden(bool hidden) {
  if (hidden_ == hidden) return;
  // The area is where the view shows: before it hides, after it shows.
  if (hidden) damage(*this, drawnArea(*this));
  hidden_ = hidden;
  if (!hidden) damage(*this, drawnArea(*this));
}

void View::setNeedsDisplay() {
  setNeedsDisplay(bounds());
}

void View::setNeedsDisplay(Rect rect) {
  damage(*this, drawnArea(*this, rect));
}

Screen* View::screen() const {
  const View* top = this;
  while (top->superview_) top = top->superview_;
  return const_cast<View*>(top)->asScreen();
}

Point View::presentationCenter() const {
  if (!animations_ || !animations_->center) return center_;
  const auto& a = *animations_->center;
  return lerp(a.from, a.to, progressNow(*animations_, *a.block));
}

double View::presentationAlpha() const {
  if (!animations_ || !animations_->alpha) return alpha_;
  const auto& a = *animations_->alpha;
  return lerp(a.from, a.to, progressNow(*animations_, *a.block));
}

Transform View::presentationTransform() const {
  if (!animations_ || !animations_->transform) return transform_;
  const auto& a = *animations_->transform;
  return lerp(a.from, a.to, progressNow(*animations_, *a.block));
}

Point View::convertToAncestor(Point p, const View* ancestor) const {
  for (const View* v = this; v && v != ancestor; v = v->superview_) p = toParent(*v, p);
  return p;
}

Point View::convertFromAncestor(Point p, const View* ancestor) const {
  std::vector<const View*> chain;
  for (const View* v = this; v && v != ancestor; v = v->superview_) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) p = fromParent(**it, p);
  return p;
}

View* View::hitTest(Point p) {
  if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled) return nullptr;
  if (!pointInside(p)) return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    if (View* hit = (*it)->hitTest(fromParent(**it, p))) return hit;
  }
  return this;
}

Responder* View::nextResponder() const {
  if (viewController) return viewController;
  return superview_;
}

void View::draw(cairo_t* cr) const {
  if (backgroundColor_.isClear()) return;
  cairo_set_source_rgba(cr, backgroundColor_.r, backgroundColor_.g, backgroundColor_.b,
                        backgroundColor_.a);
  cairo_rectangle(cr, 0, 0, size_.width, size_.height);
  cairo_fill(cr);
}

bool View::paintsOpaque() const {
  return typeid(*this) == typeid(View) && backgroundColor_.a >= 1;
}

ViewAnimations& View::ensureAnimations() {
  if (!animations_) animations_ = std::make_unique<ViewAnimations>();
  return *animations_;
}

void View::beginAnimations(const std::string& animationID, void* context) {
  if (Screen* shown = screen()) shown->animator().begin(animationID, context);
}

void View::setAnimationDelay(double seconds) {
  if (Animator* animator = buildingAnimator()) animator->current().delay = std::max(0.0, seconds);
}

void View::setAnimationDuration(double seconds) {
  if (Animator* animator = buildingAnimator()) {
    animator->current().duration = std::max(0.0, seconds);
  }
}

void View::setAnimationTransition(AnimationTransition transition, View* forView, bool cache) {
  if (Animator* animator = buildingAnimator()) animator->setTransition(transition, forView, cache);
}

void View::setAnimationDelegate(Object* delegate) {
  Animator* animator = buildingAnimator();
  if (!animator) return;
  AnimationBlock& block = animator->current();
  block.delegate = delegate;
  block.delegateAlive = delegate ? delegate->weakReference() : std::weak_ptr<const void>();
}

void View::setAnimationDidStop(AnimationDidStop callback) {
  if (Animator* animator = buildingAnimator()) animator->current().didStop = std::move(callback);
}

void View::commitAnimations() {
  if (Animator* animator = buildingAnimator()) animator->commit();
}

}  // namespace kit
