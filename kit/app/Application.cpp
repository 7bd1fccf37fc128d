#include "kit/app/Application.h"

#include <glib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "kit/base/Files.h"
#include "kit/graphics/Image.h"
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
// The nice value of work on other threads (0 is the main thread's, 19 the lowest).
constexpr int kBackgroundNiceness = 10;

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

struct Application::FrameUpdate {
  std::weak_ptr<const void> ownerAlive;
  std::function<bool(double)> update;
};

Application::Application(Clock& clock)
    : clock_(clock),
      screen_(std::make_unique<Screen>()),
      animator_(std::make_unique<Animator>(clock)) {
  sharedApplication = this;
  lastInputTime_ = clock.now();
  // A file-size limit must fail a write, which is then undone, not end the program mid-record.
  ignoreFileSizeSignal();
}

Application::~Application() {
  // Work still running reports to nobody; its thread is waited for.
  for (std::thread& thread : backgroundThreads_) thread.join();
  backgroundResults_.clear();
  // Whatever the delegate and queued tasks own goes while the screen and animator still exist,
  // since views leaving the tree reach both.
  touches_.clear();
  frameUpdates_.clear();
  tasks_.clear();
  timedTasks_.clear();
  delegate_.reset();
  keyWindow_ = nullptr;
  screen_.reset();
  animator_.reset();
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

void Application::setKeyWindow(Window* window) {
  keyWindow_ = window;
  setNeedsDisplay();
}

void Application::touchDown(Point screenPoint, int finger) {
  lastInputTime_ = clock_.now();
  // A screen changing by a transition takes no touches: a tap then would land on whatever lies
  // half-revealed. The whole touch is dropped, and it counts for no tap streak.
  if (animator_->isTransitionRunning()) return;
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
  redrawFor(touch->liveView());

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
  redrawFor(touch->liveView());

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
  redrawFor(touch->liveView());

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
  redrawFor(touch->liveView());
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

void Application::addFrameUpdate(const Object& owner, std::function<bool(double now)> update) {
  frameUpdates_.push_back({owner.weakReference(), std::move(update)});
}

void Application::orientationChanged(InterfaceOrientation orientation) {
  if (!keyWindow_) return;
  ViewController* root = nullptr;
  for (View* view : keyWindow_->subviews()) {
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
  std::vector<std::function<void()>> tasks;
  tasks.swap(tasks_);
  {
    std::lock_guard<std::mutex> lock(backgroundMutex_);
    for (auto& result : backgroundResults_) tasks.push_back(std::move(result));
    backgroundResults_.clear();
    if (backgroundInFlight_ == 0) {
      for (std::thread& thread : backgroundThreads_) thread.join();
      backgroundThreads_.clear();
    }
  }
  // GLib's main context: drives coming and going, D-Bus replies. The window backends wake for its
  // descriptors (MainContextWait). A bounded number, so that a flood of events cannot hold the
  // screen up.
  for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
  animator_->endFinishedBlocks();
  for (auto& task : tasks) task();
  runTimedTasks();
  if (!tasks.empty()) setNeedsDisplay();
  deliverHeldBackTouches();

  double now = clock_.now();
  // Updates added meanwhile wait a turn, as tasks do.
  std::vector<FrameUpdate> updates;
  updates.swap(frameUpdates_);
  for (auto& frame : updates) {
    if (!frame.ownerAlive.expired() && frame.update(now)) frameUpdates_.push_back(std::move(frame));
  }
  std::vector<DisplayTime> due;
  std::erase_if(displayTimes_, [now, &due](const DisplayTime& t) {
    if (t.time > now) return false;
    due.push_back(t);
    return true;
  });
  for (const DisplayTime& t : due) {
    if (!t.view) {
      setNeedsDisplay();
    } else if (!t.viewAlive.expired()) {
      const_cast<View*>(t.view)->setNeedsDisplay(t.rect);
    }
  }
}

void Application::post(std::function<void()> task) {
  tasks_.push_back(std::move(task));
}

void Application::postAt(double time, const Object& owner, std::function<void()> task) {
  timedTasks_.push_back({time, owner.weakReference(), std::move(task)});
}

void Application::runTimedTasks() {
  const double now = clock_.now();
  // Tasks queued meanwhile by the ones that run wait for their own time, even when it has come.
  std::vector<TimedTask> due;
  std::erase_if(timedTasks_, [now, &due](TimedTask& timed) {
    if (timed.time > now + kTimeSlack) return false;
    due.push_back(std::move(timed));
    return true;
  });
  for (TimedTask& timed : due) {
    if (!timed.ownerAlive.expired()) timed.task();
  }
}

void Application::setBattery(const std::optional<BatteryState>& battery) {
  if (battery == battery_) return;
  battery_ = battery;
  setNeedsDisplayInRect({{0, 0}, {kScreenWidth, kStatusBarHeight}});
}

void Application::runInBackground(std::function<std::function<void()>()> work) {
  std::lock_guard<std::mutex> lock(backgroundMutex_);
  ++backgroundInFlight_;
  backgroundThreads_.emplace_back([this, work = std::move(work)] {
    // Below the screen's priority (and so are the programs it starts, such as the mail
    // transport): on a tablet's few processors the frames come first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNiceness);
    std::function<void()> result = work();
    std::lock_guard<std::mutex> done(backgroundMutex_);
    if (result) backgroundResults_.push_back(std::move(result));
    --backgroundInFlight_;
    backgroundDone_.notify_all();
  });
}

size_t Application::backgroundWorkInFlight() const {
  std::lock_guard<std::mutex> lock(backgroundMutex_);
  return backgroundInFlight_;
}

bool Application::waitForBackgroundWork(double timeoutSeconds) {
  bool finished;
  {
    std::unique_lock<std::mutex> lock(backgroundMutex_);
    finished = backgroundDone_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                        [this] { return backgroundInFlight_ == 0; });
  }
  runOnce();
  return finished;
}

bool Application::needsDisplay() const {
  return needsDisplay_ || !damage_.empty() || animator_->isMoving(clock_.now()) ||
         !frameUpdates_.empty();
}

void Application::setNeedsDisplayAt(double time) {
  displayTimes_.push_back({time, nullptr, {}, {}});
}

void Application::setNeedsDisplayAt(double time, const View& view, Rect rect) {
  displayTimes_.push_back({time, &view, view.weakReference(), rect});
}

void Application::redrawFor(const View* touched) {
  // Views whose look follows plain fields change it in answer to touches unannounced.
  if (!touched || !touched->reportsOwnChanges()) setNeedsDisplay();
}

void Application::setNeedsDisplayInRect(Rect r) {
  if (needsDisplay_ || r.isEmpty()) return;
  // A rect already covered adds nothing; one that covers others replaces them; two that overlap
  // become one when their union is smaller than the two apart. Too many, and it is the whole
  // screen.
  constexpr size_t kMaxRects = 16;
  for (const Rect& d : damage_) {
    if (d.contains(r)) return;
  }
  std::erase_if(damage_, [&r](const Rect& d) { return r.contains(d); });
  for (bool joined = true; joined;) {
    joined = false;
    for (auto it = damage_.begin(); it != damage_.end(); ++it) {
      Rect both = it->united(r);
      if (it->intersects(r) && both.area() < it->area() + r.area()) {
        r = both;
        damage_.erase(it);
        joined = true;
        break;
      }
    }
  }
  damage_.push_back(r);
  if (damage_.size() > kMaxRects) setNeedsDisplay();
}

Application::Damage Application::takeDamage() {
  animator_->addMovingDamage();
  // Content moving frame by frame (a scroll view's momentum) redraws the screen.
  if (!frameUpdates_.empty()) setNeedsDisplay();
  Damage damage;
  damage.wholeScreen = needsDisplay_;
  if (!needsDisplay_) damage.rects = damage_;
  didDisplay();
  return damage;
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
  if (needsDisplay() || animator_->isTransitionRunning()) return false;
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
  if (!tasks_.empty()) return now;
  // Content moving frame by frame (a scroll view's momentum) moves now.
  double wake = frameUpdates_.empty() ? animator_->nextChangeTime(now) : now;
  for (const TimedTask& timed : timedTasks_) wake = std::min(wake, timed.time);
  for (const auto& touch : touches_) {
    if (touch->isHeldBack()) wake = std::min(wake, touch->heldUntil);
  }
  // Work on another thread reports through the run loop, which keeps turning until it has.
  if (backgroundWorkInFlight() > 0) wake = std::min(wake, now + kFrameInterval);
  for (const DisplayTime& t : displayTimes_) wake = std::min(wake, t.time);
  return wake;
}

}  // namespace kit
