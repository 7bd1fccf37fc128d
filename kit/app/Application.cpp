#include "kit/app/Application.h"

#include <glib.h>

#include <algorithm>

#include "kit/base/Files.h"
#include "kit/graphics/Image.h"
#include "kit/text/TextField.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

namespace {
Application* sharedApplication = nullptr;
// Clock times are sums of steps; a tap exactly at the interval must not miss it by rounding.
constexpr double kTimeSlack = 1e-9;

// The scroll views that hold `view`, itself included, innermost first.
std::vector<ScrollView*> scrollViewsHolding(View* view) {
  std::vector<ScrollView*> found;
  for (; view; view = view->superview()) {
    if (auto* scroller = dynamic_cast<ScrollView*>(view)) found.push_back(scroller);
  }
  return found;
}

}  // namespace

// A finger on the screen from touch-down to touch-up, and the view that has it: the hit view of
// the touch-down, or a scroll view that claimed it.
struct Application::TouchState {
  int finger = 0;
  Touch touch;
  std::weak_ptr<const void> viewAlive;
  Point start;            // where it went down
  double heldUntil = -1;  // while set, the view has not had touchesBegan: a drag may yet claim it
  bool claimed = false;

  View* liveView() const { return viewAlive.expired() ? nullptr : touch.view; }
  void setView(View* view) {
    touch.view = view;
    viewAlive = view ? view->weakReference() : std::weak_ptr<const void>();
  }
  bool isHeldBack() const { return heldUntil >= 0; }
  void deliver(void (Responder::*handler)(const TouchSet&, const Event*), TouchPhase phase,
               double time) {
    touch.phase = phase;
    Event event{time};
    if (View* view = liveView()) (view->*handler)(TouchSet({&touch}), &event);
  }
};

Application::Application(Clock& clock)
    : clock_(clock),
      runLoop_(std::make_unique<RunLoop>(clock)),
      screen_(std::make_unique<Screen>(clock, *runLoop_)) {
  sharedApplication = this;
  lastInputTime_ = clock.now();
  // A file-size limit must fail a write, which is then undone, not end the program mid-record.
  ignoreFileSizeSignal();
}

Application::~Application() {
  // Queued work first: what it holds may refer to anything below.
  runLoop_->stop();
  touches_.clear();
  // Then running animations, whose callbacks may hold a controller until its dismissal ends.
  screen_->animator().stop();
  // Then the windows and controllers, which leave the screen as they go; then the views left.
  delegate_.reset();
  screen_.reset();
  runLoop_.reset();
  if (sharedApplication == this) sharedApplication = nullptr;
}

Application* Application::shared() {
  return sharedApplication;
}

bool Application::launch(std::unique_ptr<ApplicationDelegate> delegate) {
  delegate_ = std::move(delegate);
  setNeedsDisplay();
  return delegate_ ? delegate_->didFinishLaunchingWithOptions(*this) : false;
}

TextField* Application::firstResponder() const {
  return dynamic_cast<TextField*>(screen_->firstResponder());
}

void Application::touchDown(Point screenPoint, int finger) {
  lastInputTime_ = clock_.now();
  // A screen changing by a transition takes no touches: a tap then would land on whatever lies
  // half-revealed. The whole touch is dropped, and it counts for no tap streak.
  if (screen_->animator().isTransitionRunning()) return;
  double now = clock_.now();
  bool continuesStreak = now - lastTapTime_ <= kMultiTapInterval + kTimeSlack &&
                         distance(screenPoint, lastTapPoint_) <= kMultiTapDistance;
  lastTapCount_ = continuesStreak ? lastTapCount_ + 1 : 1;
  lastTapTime_ = now;
  lastTapPoint_ = screenPoint;

  auto same = std::find_if(touches_.begin(), touches_.end(),
                           [finger](const auto& t) { return t->finger == finger; });
  if (same != touches_.end()) {
    // The finger's last touch never lifted (its up was lost): it will not end now.
    std::unique_ptr<TouchState> stale = std::move(*same);
    touches_.erase(same);
    if (!stale->isHeldBack())
      stale->deliver(&Responder::touchesCancelled, TouchPhase::Cancelled, now);
  }
  auto state = std::make_unique<TouchState>();
  state->finger = finger;
  View* hit = screen_->hitTest(screenPoint);
  state->setView(hit);
  state->touch.tapCount = lastTapCount_;
  state->touch.locationOnScreen = screenPoint;
  state->touch.timestamp = now;
  state->start = screenPoint;
  // Content still moving is stopped by the finger, which drags it from here; otherwise a scroll
  // view holds the touch back for a moment, in case it becomes a drag.
  ScrollView* claimer = nullptr;
  bool heldBack = false;
  for (ScrollView* scroller : scrollViewsHolding(hit)) {
    if (scroller->claimsTouchDown()) {
      claimer = scroller;
      break;
    }
    heldBack = heldBack || scroller->delaysContentTouches;
  }
  if (claimer) {
    state->setView(claimer);
    state->claimed = true;
  } else if (heldBack) {
    state->heldUntil = now + kScrollTouchDelay;
  }
  TouchState* touch = state.get();
  touches_.push_back(std::move(state));

  if (claimer) claimer->beginDrag(touch->touch);
  if (!touch->isHeldBack()) touch->deliver(&Responder::touchesBegan, TouchPhase::Began, now);
}

void Application::touchMoved(Point screenPoint, int finger) {
  lastInputTime_ = clock_.now();
  auto it = std::find_if(touches_.begin(), touches_.end(),
                         [finger](const auto& t) { return t->finger == finger; });
  if (it == touches_.end()) return;
  TouchState* touch = it->get();
  double now = clock_.now();
  touch->touch.phase = TouchPhase::Moved;
  touch->touch.locationOnScreen = screenPoint;
  touch->touch.timestamp = now;

  if (!touch->claimed) {
    // The innermost scroll view that the movement drags takes the touch over from its view.
    for (ScrollView* scroller : scrollViewsHolding(touch->liveView())) {
      if (!scroller->claimsDrag(touch->touch, touch->start)) continue;
      std::weak_ptr<const void> scrollerAlive = scroller->weakReference();
      if (!touch->isHeldBack())
        touch->deliver(&Responder::touchesCancelled, TouchPhase::Cancelled, now);
      touch->touch.phase = TouchPhase::Moved;
      touch->heldUntil = -1;
      touch->claimed = true;
      touch->setView(scrollerAlive.expired() ? nullptr : scroller);
      if (!scrollerAlive.expired()) scroller->beginDrag(touch->touch);
      break;
    }
  }
  if (!touch->isHeldBack()) touch->deliver(&Responder::touchesMoved, TouchPhase::Moved, now);
}

void Application::touchUp(Point screenPoint, int finger) {
  auto it = std::find_if(touches_.begin(), touches_.end(),
                         [finger](const auto& t) { return t->finger == finger; });
  if (it == touches_.end()) return;
  // Out of the list before delivery, so that a handler starting a new touch finds it gone.
  std::unique_ptr<TouchState> touch = std::move(*it);
  touches_.erase(it);
  double now = clock_.now();
  touch->touch.locationOnScreen = screenPoint;
  touch->touch.timestamp = now;

  // A touch held back that ends before it could become a drag is a tap on its view after all.
  if (touch->isHeldBack()) touch->deliver(&Responder::touchesBegan, TouchPhase::Began, now);
  touch->deliver(&Responder::touchesEnded, TouchPhase::Ended, now);
}

void Application::touchCancelled(int finger) {
  auto it = std::find_if(touches_.begin(), touches_.end(),
                         [finger](const auto& t) { return t->finger == finger; });
  if (it == touches_.end()) return;
  std::unique_ptr<TouchState> touch = std::move(*it);
  touches_.erase(it);
  // A touch still held back never began, for its view.
  if (!touch->isHeldBack()) {
    touch->deliver(&Responder::touchesCancelled, TouchPhase::Cancelled, clock_.now());
  }
}

void Application::deliverHeldBackTouches() {
  double now = clock_.now();
  std::vector<int> due;
  for (const auto& touch : touches_) {
    if (touch->isHeldBack() && now >= touch->heldUntil - kTimeSlack) due.push_back(touch->finger);
  }
  // Looked up again one by one: a handler may end or start touches.
  for (int finger : due) {
    auto it = std::find_if(touches_.begin(), touches_.end(),
                           [finger](const auto& t) { return t->finger == finger; });
    if (it == touches_.end() || !(*it)->isHeldBack()) continue;
    (*it)->heldUntil = -1;
    (*it)->deliver(&Responder::touchesBegan, TouchPhase::Began, now);
  }
}

void Application::orientationChanged(InterfaceOrientation orientation) {
  Window* keyWindow = screen_->keyWindow();
  if (!keyWindow) return;
  ViewController* root = nullptr;
  for (View* view : keyWindow->subviews()) {
    if (view->viewController) {
      root = view->viewController;
      break;
    }
  }
  if (!root || !root->shouldAutorotateToInterfaceOrientation(orientation)) return;
  // The screen only ever turns between the two portrait orientations.
  if (orientation != InterfaceOrientation::Portrait &&
      orientation != InterfaceOrientation::PortraitUpsideDown) {
    return;
  }
  if (orientation_ != orientation) {
    orientation_ = orientation;
    setNeedsDisplay();
  }
}

void Application::memoryWarning() {
  if (delegate_) delegate_->didReceiveMemoryWarning(*this);
}

void Application::runOnce() {
  // Tasks posted from here on, by did-stop callbacks or by the tasks themselves, wait a turn.
  std::vector<std::function<void()>> tasks = runLoop_->takeTasks();
  // GLib's main context: drives coming and going, D-Bus replies. The window backends wake for its
  // descriptors (MainContextWait). A bounded number, so that a flood of events cannot hold the
  // screen up.
  for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
  screen_->animator().endFinishedBlocks();
  for (auto& task : tasks) task();
  runLoop_->runTimedTasks();
  deliverHeldBackTouches();
  runLoop_->runFrameUpdates();
  screen_->markDueDisplay();
}

bool Application::waitForBackgroundWork(double timeoutSeconds) {
  bool finished = runLoop_->waitForBackgroundWork(timeoutSeconds);
  runOnce();
  return finished;
}

bool Application::needsDisplay() const {
  return screen_->needsDisplay() || runLoop_->hasFrameUpdates();
}

Application::Damage Application::takeDamage() {
  // Content moving frame by frame (a scroll view's momentum) redraws the screen.
  if (runLoop_->hasFrameUpdates()) setNeedsDisplay();
  return screen_->takeDamage();
}

namespace {

// The first view of the tree under `view` that is hidden while its ancestors show, and that
// `done` does not name.
const View* firstHiddenScreen(const View& view, const std::function<bool(const View&)>& done) {
  for (const View* child : view.subviews()) {
    if (child->isHidden()) {
      if (!done(*child)) return child;
    } else if (const View* found = firstHiddenScreen(*child, done)) {
      return found;
    }
  }
  return nullptr;
}

}  // namespace

bool Application::prepareWhileIdle() {
  if (needsDisplay() || screen_->animator().isTransitionRunning()) return false;
  if (!decoding_) {
    if (auto decode = Image::decodePending()) {
      decoding_ = true;
      runInBackground([this, decode = std::move(decode)]() -> std::function<void()> {
        std::function<void()> install = decode();
        return [this, install] {
          install();
          decoding_ = false;
        };
      });
      return false;
    }
  }
  if (decoding_) return false;
  if (preparedScale_ != currentRenderScale()) {
    preparedScale_ = currentRenderScale();
    prepared_.clear();
  }
  std::erase_if(prepared_, [](const Prepared& p) { return p.alive.expired(); });
  auto done = [this](const View& view) {
    return std::any_of(prepared_.begin(), prepared_.end(),
                       [&view](const Prepared& p) { return p.view == &view; });
  };
  const View* hidden = firstHiddenScreen(*screen_, done);
  if (!hidden) return false;
  prepared_.push_back({hidden, hidden->weakReference()});
  Renderer::prepare(*hidden, preparedScale_);
  return true;
}

double Application::nextWakeTime() const {
  double now = clock_.now();
  if (runLoop_->hasTasks()) return now;
  double wake = std::min(screen_->animator().nextChangeTime(now), runLoop_->nextWakeTime());
  for (const auto& touch : touches_) {
    if (touch->isHeldBack()) wake = std::min(wake, touch->heldUntil);
  }
  return std::min(wake, screen_->nextDisplayTime());
}

}  // namespace kit
