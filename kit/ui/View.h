#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kit/base/Color.h"
#include "kit/base/Geometry.h"
#include "kit/graphics/Transitions.h"
#include "kit/ui/Responder.h"

typedef struct _cairo cairo_t;

namespace kit {

class Screen;
class ViewController;
struct ViewAnimations;  // per-view animation state, owned by the view, defined in Animation.cpp

// The signature of a did-stop callback: animation identifier, finished flag, context.
using AnimationDidStop = std::function<void(Object* delegate, const std::string& animationID,
                                            bool finished, void* context)>;

// A rectangle of the screen that draws itself and its children and can take touches.
// A view is made with a size at origin (0, 0) and placed by its centre in its parent's coordinates.
class View : public Responder {
 public:
  explicit View(Size size);
  ~View() override;

  // Adds a child above the existing ones and takes ownership; returns it typed.
  template <class T>
  T* addSubview(std::unique_ptr<T> child) {
    T* raw = child.get();
    adopt(std::unique_ptr<View>(std::move(child)));
    return raw;
  }
  // Adds a child that someone else owns (a view controller's root view); it detaches itself from
  // this view when it is destroyed, and this view detaches it when this view goes first.
  void addSubview(View* child);
  // Takes the view out of its parent. A view its parent owned is destroyed, so the caller must not
  // use it afterwards (nor call this from the view's own handlers); use detachFromSuperview to
  // keep it.
  void removeFromSuperview();
  // Takes the view out of its parent and hands it to the caller: nullptr when the parent did not
  // own it (it is still detached).
  std::unique_ptr<View> detachFromSuperview();
  const std::vector<View*>& subviews() const { return subviews_; }
  View* superview() const { return superview_; }
  // The screen this view shows on, found at the top of its superviews; nullptr while the view is
  // on none. Through it a view reaches the damage, the animator, the focus and the run loop.
  Screen* screen() const;
  virtual Screen* asScreen() { return nullptr; }

  // This view or the first descendant (depth first, in stacking order) with the tag, or nullptr.
  View* viewWithTag(int tag);

  // Geometry (model values; hit testing uses these).
  Rect frame() const;  // the bounds moved to the centre; ignores the transform, as the frame is set
  void setFrame(Rect frame);
  Rect bounds() const { return {{0, 0}, size_}; }
  Point center() const { return center_; }
  void setCenter(Point center);
  Transform transform() const { return transform_; }
  void setTransform(const Transform& transform);
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);

  // What the screen shows now: the model value, or the value an animation has reached.
  Point presentationCenter() const;
  double presentationAlpha() const;
  Transform presentationTransform() const;

  // Coordinates between this view and an ancestor (or the screen when `ancestor` is nullptr),
  // with model values.
  Point convertToAncestor(Point p, const View* ancestor) const;
  Point convertFromAncestor(Point p, const View* ancestor) const;

  // The top-most view at `p` (in this view's coordinates) that is shown, has alpha of at least
  // 0.01 and takes touches; children are searched front-most first. A point outside this view's
  // bounds reaches none of its children, even one drawn there, and a view that takes no touches
  // takes none for its children either. Returns nullptr when nothing takes the touch.
  virtual View* hitTest(Point p);
  virtual bool pointInside(Point p) const { return bounds().contains(p); }

  Responder* nextResponder() const override;

  // Content drawn under the children, in this view's coordinates, with alpha and transform already
  // applied. The default fills the background colour.
  virtual void draw(cairo_t* cr) const;
  // True when draw() covers the whole bounds with opaque paint, so that what lies under the view
  // need not be drawn. Each kind answers for itself only: a subclass that draws differently is
  // not taken to cover anything unless it says so.
  virtual bool paintsOpaque() const;
  // Asks for the view's content (or its `rect`, in its coordinates) to be drawn again in the next
  // frame: the mark travels up the superviews to the screen. Every change of a view's look goes
  // through here, so that nothing else need be redrawn. Nothing happens for a view on no screen.
  void setNeedsDisplay();
  void setNeedsDisplay(Rect rect);

  int tag = 0;
  bool userInteractionEnabled = true;
  // Children are drawn only inside this view's bounds (they are hit only there in any case).
  bool clipsToBounds = false;
  Color backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(Color color) { setLook(backgroundColor_, color); }
  // The controller whose root view this is; set by the controller.
  ViewController* viewController = nullptr;

  // Animation blocks, begun on the animator of the screen this view shows on (on none, nothing
  // animates and the changes act at once); the static calls act on the block being built.
  // Changes of centre, alpha and transform of any view between begin and commit animate: the
  // model value changes at once, the presentation value runs from where it is now to the new
  // value after the delay, over the duration. Hidden-flag changes in a block with a transition are
  // shown by that transition on its view. The did-stop callback runs once, from the run loop,
  // when the block ends (also for a block that changed nothing), if its delegate still exists.
  void beginAnimations(const std::string& animationID, void* context);
  static void setAnimationDelay(double seconds);
  static void setAnimationDuration(double seconds);  // default 0.2
  static void setAnimationTransition(AnimationTransition transition, View* forView, bool cache);
  static void setAnimationDelegate(Object* delegate);
  template <class T>
  static void setAnimationDidStopSelector(void (T::*selector)(const std::string&, bool, void*)) {
    setAnimationDidStop([selector](Object* d, const std::string& id, bool finished, void* context) {
      if (auto* target = dynamic_cast<T*>(d)) (target->*selector)(id, finished, context);
    });
  }
  template <class T>
  static void setAnimationDidStopSelector(void (T::*selector)()) {
    setAnimationDidStop([selector](Object* d, const std::string&, bool, void*) {
      if (auto* target = dynamic_cast<T*>(d)) (target->*selector)();
    });
  }
  static void setAnimationDidStop(AnimationDidStop callback);
  static void commitAnimations();

  // Internal to the kit: animation state of this view.
  ViewAnimations* animations() const { return animations_.get(); }
  ViewAnimations& ensureAnimations();

 protected:
  // Sets a field that the view's look follows, marking the view for redraw when it changes.
  template <class T>
  void setLook(T& field, T value) {
    if (field == value) return;
    field = std::move(value);
    setNeedsDisplay();
  }

  Size size_;

 private:
  void adopt(std::unique_ptr<View> child);
  void attach(View* child);

  Point center_;
  Transform transform_;
  double alpha_ = 1;
  bool hidden_ = false;
  Color backgroundColor_ = Color::clear();
  View* superview_ = nullptr;
  std::vector<View*> subviews_;
  std::vector<std::unique_ptr<View>> owned_;
  std::unique_ptr<ViewAnimations> animations_;
};

}  // namespace kit
