#pragma once

// The kiosk in a real window going through measured scenes one after another: the screen left
// alone, a field's caret blinking with the keyboard up, the submit flip over and over. Each scene
// reports the frames drawn, the longest time between two of them and the CPU the process used.

#include <signal.h>
#include <sys/resource.h>
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

enum class Scene { Idle, FieldFocused, Flipping };
struct Phase {
  Scene scene;
  double seconds;
};
struct Measured {
  long frames = 0;
  double seconds = 0;
  double cpu = 0;           // seconds of CPU
  double longestFrame = 0;  // seconds between two frames drawn
};

constexpr double kSettle = 1.0;  // seconds after launch, and after a field takes focus

inline double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The frames drawn: a point-sized view on top of the screen is drawn once in every frame that
// covers it, and notes the clock's time.
struct FrameLog {
  long frames = 0;
  double last = -1;
  double longest = 0;
};
class FrameCounter : public kit::View {
 public:
  FrameCounter(FrameLog& log, const kit::Clock& clock) : View({1, 1}), log_(log), clock_(clock) {}
  void draw(cairo_t*) const override {
    double now = clock_.now();
    if (log_.last >= 0) log_.longest = std::max(log_.longest, now - log_.last);
    log_.last = now;
    ++log_.frames;
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
      after(phase.seconds, [this, index, begin] {
        measured_.push_back({log_.frames - begin.frames, app_->clock().now() - begin.seconds,
                             cpuSeconds() - begin.cpu, log_.longest});
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
    kit::View::beginAnimations("", nullptr);
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

  std::unique_ptr<TolvikAppDelegate> kiosk_;
  std::vector<Phase> phases_;
  std::function<void(const std::vector<Measured>&)> done_;
  kit::Application* app_ = nullptr;
  FrameLog log_;
  bool flipping_ = false;
  std::vector<Measured> measured_;
};

}  // namespace kiosk_scene
