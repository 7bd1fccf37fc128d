#include "Application.h"

#include <algorithm>

#include "Animation.h"
#include "Files.h"
#include "Screen.h"
#include "Window.h"

namespace kit {

namespace {
Application* sharedApplication = nullptr;
// Clock times are sums of steps; a tap exactly at the interval must not miss it by rounding.
constexpr double kTimeSlack = 1e-9;
}  // namespace

// A finger on the screen from touch-down to touch-up, and the view that took its touch-down.
struct Application::TouchState {
  int finger = 0;
  Touch touch;
  std::weak_ptr<const void> viewAlive;

  View* liveView() const { return viewAlive.expired() ? nullptr : touch.view; }
};

Application::Application(Clock& clock)
    : clock_(clock),
      screen_(std::make_unique<Screen>()),
      animator_(std::make_unique<Animator>(clock)) {
  sharedApplication = this;
  // A file-size limit must fail a write, which is then undone, not end the program mid-record.
  ignoreFileSizeSignal();
}

Application::~Application() {
  // Whatever the delegate and queued tasks own goes while the screen and animator still exist,
  // since views leaving the tree reach both.
  touches_.clear();
  tasks_.clear();
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
  // A screen changing by a transition takes no touches: a tap then would land on whatever lies
  // half-revealed. The whole touch is dropped, and it counts for no tap streak.
  if (animator_->isTransitionRunning()) return;
  double now = clock_.now();
  bool continuesStreak = now - lastTapTime_ <= kMultiTapInterval + kTimeSlack &&
                         distance(screenPoint, lastTapPoint_) <= kMultiTapDistance;
  lastTapCount_ = continuesStreak ? lastTapCount_ + 1 : 1;
  lastTapTime_ = now;
  lastTapPoint_ = screenPoint;

  std::erase_if(touches_, [finger](const auto& t) { return t->finger == finger; });
  auto state = std::make_unique<TouchState>();
  state->finger = finger;
  state->touch.view = screen_->hitTest(screenPoint);
  state->touch.tapCount = lastTapCount_;
  state->touch.phase = TouchPhase::Began;
  state->touch.locationOnScreen = screenPoint;
  state->touch.timestamp = now;
  if (state->touch.view) state->viewAlive = state->touch.view->weakReference();
  TouchState* touch = state.get();
  touches_.push_back(std::move(state));
  setNeedsDisplay();

  Event event{now};
  if (View* view = touch->liveView()) view->touchesBegan(TouchSet({&touch->touch}), &event);
}

void Application::touchMoved(Point screenPoint, int finger) {
  auto it = std::find_if(touches_.begin(), touches_.end(),
                         [finger](const auto& t) { return t->finger == finger; });
  if (it == touches_.end()) return;
  TouchState* touch = it->get();
  touch->touch.phase = TouchPhase::Moved;
  touch->touch.locationOnScreen = screenPoint;
  touch->touch.timestamp = clock_.now();
  setNeedsDisplay();

  Event event{touch->touch.timestamp};
  if (View* view = touch->liveView()) view->touchesMoved(TouchSet({&touch->touch}), &event);
}

void Application::touchUp(Point screenPoint, int finger) {
  auto it = std::find_if(touches_.begin(), touches_.end(),
                         [finger](const auto& t) { return t->finger == finger; });
  if (it == touches_.end()) return;
  // Out of the list before delivery, so that a handler starting a new touch finds it gone.
  std::unique_ptr<TouchState> touch = std::move(*it);
  touches_.erase(it);
  touch->touch.phase = TouchPhase::Ended;
  touch->touch.locationOnScreen = screenPoint;
  touch->touch.timestamp = clock_.now();
  setNeedsDisplay();

  Event event{touch->touch.timestamp};
  if (View* view = touch->liveView()) view->touchesEnded(TouchSet({&touch->touch}), &event);
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
  animator_->endFinishedBlocks();
  for (auto& task : tasks) task();
  if (!tasks.empty()) setNeedsDisplay();

  double now = clock_.now();
  if (std::erase_if(displayTimes_, [now](double t) { return t <= now; }) > 0) setNeedsDisplay();
}

void Application::post(std::function<void()> task) {
  tasks_.push_back(std::move(task));
}

bool Application::needsDisplay() const {
  return needsDisplay_ || animator_->isMoving(clock_.now());
}

void Application::setNeedsDisplayAt(double time) {
  displayTimes_.push_back(time);
}

double Application::nextWakeTime() const {
  double now = clock_.now();
  if (!tasks_.empty()) return now;
  double wake = animator_->nextChangeTime(now);
  for (double t : displayTimes_) wake = std::min(wake, t);
  return wake;
}

}  // namespace kit
