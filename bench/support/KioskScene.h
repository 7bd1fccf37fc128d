#pragma once

// The kiosk in a real window going through measured scenes one after another: the screen left
// alone, a field's caret blinking with the keyboard up, the submit flip over and over, the staff
// screen's curl and the flip back. Each scene reports the frames drawn, the longest time between
// two of them and the CPU the process used; the staff scene also how soon each transition showed
// its first frame after the touch that started it.

#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TolvikAppDelegate.h"
#include "kit/app/Application.h"
#include "kit/base/Clock.h"
#include "kit/text/TextField.h"
#include "kit/ui/Screen.h"
#include "kit/ui/View.h"

namespace kiosk_scene {

enum class Scene { Idle, FieldFocused, Flipping, StaffAndBack };
struct Phase {
  Scene scene;
  double seconds;
};
struct Measured {
  long frames = 0;
  double seconds = 0;
  double cpu = 0;           // seconds of CPU
  double longestFrame = 0;  // seconds between two frames drawn
  // Transitions started by a touch: the longest wait from the touch to the first frame (each
  // kind's too), and the main thread's CPU time in that wait (the rest is other programs).
  double firstFrame = 0, curlFirstFrame = 0, flipFirstFrame = 0, firstFrameCpu = 0;
};

constexpr double kSettle = 1.0;  // seconds after launch, and after a field takes focus

inline double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The frames drawn: a point-sized view on top of the screen is drawn once in every frame that
// covers it, and notes the clock's time and the main thread's CPU time.
struct FrameTime {
  double clock, cpu;
};
struct FrameLog {
  long frames = 0;
  double last = -1;
  double longest = 0;
  std::vector<FrameTime> times;
};
class FrameCounter : public kit::View {
 public:
  FrameCounter(FrameLog& log, const kit::Clock& clock) : View({1, 1}), log_(log), clock_(clock) {}
  void draw(cairo_t*) const override {
    double now = clock_.now();
    if (log_.last >= 0) log_.longest = std::max(log_.longest, now - log_.last);
    log_.last = now;
    ++log_.frames;
    log_.times.push_back({now, threadCpuSeconds()});
  }

 private:
  FrameLog& log_;
  const kit::Clock& clock_;
};

// The kiosk's own delegate, plus the scenes and the measurement around them. `done` gets one
// measurement a phase; then the process ends as its service would end it, on SIGTERM.
class SceneDelegate : public kit::ApplicationDelegate {
 public:
  SceneDelegate(std::vector<Phase> phases, std::function<void(const std::vector<Measured>&)> done)
      : kiosk_(loadMainInterface()), phases_(std::move(phases)), done_(std::move(done)) {}

  bool didFinishLaunchingWithOptions(kit::Application& app) override {
    if (!kiosk_->didFinishLaunchingWithOptions(app)) return false;
    app_ = &app;
    auto counter = std::make_unique<FrameCounter>(log_, app.clock());
    counter->setCenter({384, 600});
    // Above the window, which the flip turns as a picture.
    app.screen().alertLayer()->addSubview(std::move(counter));
    after(kSettle, [this] { start(0); });
    return true;
  }

 private:
  void after(double seconds, std::function<void()> then) {
    app_->postAt(app_->clock().now() + seconds, *this, std::move(then));
  }

  void start(size_t index) {
    if (index == phases_.size()) {
      done_(measured_);
      kill(getpid(), SIGTERM);
      return;
    }
    Phase phase = phases_[index];
    auto measure = [this, index, phase] {
      Measured begin{log_.frames, app_->clock().now(), cpuSeconds()};
      log_.last = -1;
      log_.longest = 0;
      flipping_ = phase.scene == Scene::Flipping;
      if (flipping_) flip();
      transitions_ = {};
      if (phase.scene == Scene::StaffAndBack) staffAndBack(kStaffRounds);
      after(phase.seconds, [this, index, begin] {
        Measured m = transitions_;
        m.frames = log_.frames - begin.frames;
        m.seconds = app_->clock().now() - begin.seconds;
        m.cpu = cpuSeconds() - begin.cpu;
        // The staff scene's frames are those of its transitions; it is idle in between.
        if (phases_[index].scene != Scene::StaffAndBack) m.longestFrame = log_.longest;
        measured_.push_back(m);
        flipping_ = false;
        start(index + 1);
      });
    };
    if (phase.scene == Scene::FieldFocused) {
      kiosk_->viewController->firstName->becomeFirstResponder();
      after(kSettle, measure);
    } else {
      measure();
    }
  }

  // The submit flip between form and thank-you screen, back and forth.
  void flip() {
    TolvikViewController* c = kiosk_->viewController.get();
    kiosk_->window->beginAnimations("", nullptr);
    kit::View::setAnimationDuration(1);
    kit::View::setAnimationTransition(kit::AnimationTransition::FlipFromRight,
                                      c->view()->superview(), true);
    bool formShown = !c->formView->isHidden();
    c->formView->setHidden(formShown);
    c->thankyouView->setHidden(!formShown);
    kit::View::setAnimationDelegate(this);
    kit::View::setAnimationDidStop([this](kit::Object*, const std::string&, bool, void*) {
      if (flipping_) flip();
    });
    kit::View::commitAnimations();
  }

  // A touch as the window delivers it: down, then up a twentieth of a second later; `lifted` is
  // then told when it lifted.
  void tap(kit::Point p, std::function<void(FrameTime)> lifted) {
    app_->touchDown(p);
    after(0.05, [this, p, lifted] {
      FrameTime now{app_->clock().now(), threadCpuSeconds()};
      app_->touchUp(p);
      lifted(now);
    });
  }

  // The frames of a transition started by a touch at `touched`: the wait for the first, and the
  // longest between two until it ends.
  void measureTransition(FrameTime touched, double& kindFirstFrame) {
    double last = touched.clock;
    for (auto [time, cpu] : log_.times) {
      if (time < touched.clock || time > touched.clock + kStaffTransition) continue;
      if (last == touched.clock) {
        transitions_.firstFrame = std::max(transitions_.firstFrame, time - touched.clock);
        kindFirstFrame = std::max(kindFirstFrame, time - touched.clock);
        transitions_.firstFrameCpu = std::max(transitions_.firstFrameCpu, cpu - touched.cpu);
      }
      transitions_.longestFrame = std::max(transitions_.longestFrame, time - last);
      last = time;
    }
  }

  // The hidden triple tap on the form, the staff screen curling up; a while later its Return
  // button, the form flipping back; then again, `rounds` times. Each leaves the screen idle for
  // a while before the next touch.
  void staffAndBack(int rounds) {
    if (rounds == 0) return;
    tap(kHiddenTapArea, [this, rounds](FrameTime) {
      after(0.1, [this, rounds] {
        tap(kHiddenTapArea, [this, rounds](FrameTime) {
          after(0.1, [this, rounds] {
            // The third touch-down starts the curl.
            FrameTime touched{app_->clock().now(), threadCpuSeconds()};
            tap(kHiddenTapArea, [](FrameTime) {});
            after(kStaffIdle, [this, rounds, touched] {
              measureTransition(touched, transitions_.curlFirstFrame);
              // Return acts when the touch lifts.
              tap(kStaffReturn, [this, rounds](FrameTime lifted) {
                after(kStaffIdle, [this, rounds, lifted] {
                  measureTransition(lifted, transitions_.flipFirstFrame);
                  staffAndBack(rounds - 1);
                });
              });
            });
          });
        });
      });
    });
  }

  // Where the form's hidden tap area and the staff screen's Return button are.
  static constexpr kit::Point kHiddenTapArea{693, 75}, kStaffReturn{308, 360};
  static constexpr int kStaffRounds = 3;
  static constexpr double kStaffIdle = 2.5;  // seconds between a touch and the next
  static constexpr double kStaffTransition = 1.0;

  std::unique_ptr<TolvikAppDelegate> kiosk_;
  Measured transitions_;
  std::vector<Phase> phases_;
  std::function<void(const std::vector<Measured>&)> done_;
  kit::Application* app_ = nullptr;
  FrameLog log_;
  bool flipping_ = false;
  std::vector<Measured> measured_;
};

}  // namespace kiosk_scene
