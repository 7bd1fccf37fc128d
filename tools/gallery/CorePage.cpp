// The gallery's first page: every core piece of the kit at work.

#include <cmath>
#include <string>

#include "GalleryViews.h"
#include "Pages.h"
#include "kit/app/Application.h"
#include "kit/graphics/Image.h"
#include "kit/ui/Button.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"

namespace {

using gallery::addBox;
using gallery::addHeading;
using gallery::addLabel;
using gallery::addTextButton;
using gallery::redraw;

using kit::Color;
using kit::Point;
using kit::Rect;
using kit::Size;
using kit::View;

constexpr double kPi = 3.14159265358979323846;
constexpr int kChainStages = 4;

kit::Transform rotation(double degrees, double scale = 1) {
  double r = degrees * kPi / 180;
  return {
      scale * std::cos(r), scale * std::sin(r), -scale * std::sin(r), scale * std::cos(r), 0, 0};
}

// An image view showing `name` at its own size, or at `height` points tall.
void addPicture(View* parent, const std::string& name, Point center, double height = 0) {
  auto picture = kit::Image::imageNamed(name);
  Size size = picture ? picture->size() : Size{40, 40};
  if (height > 0 && size.height > 0) {
    size = {size.width * height / size.height, height};
  }
  auto view = std::make_unique<kit::ImageView>(size);
  view->setCenter(center);
  view->setImage(picture);
  parent->addSubview(std::move(view));
}

class CorePage : public kit::ViewController {
 public:
  void viewDidLoad() override {
    View* root = view();
    root->setBackgroundColor(Color::rgba(0.96, 0.96, 0.94));
    addViews(root);
    addPictures(root);
    addLabels(root);
    addButton(root);
    addAnimationChain(root);
    addTransitions(root);
    addTouches(root);
  }

  // Taps on the page's plain views come up the responder chain to here.
  void touchesBegan(const kit::TouchSet& touches, const kit::Event*) override {
    const kit::Touch* touch = touches.anyObject();
    if (!touch) return;
    tapLabel_->setText("tap count: " + std::to_string(touch->tapCount));
    redraw();
  }

 private:
  void addViews(View* root) {
    addHeading(root, 8,
               "Views: colours, alpha, stacking, children outside their parent, transforms");
    addBox(root, {80, 80}, {70, 90}, Color::red());
    addBox(root, {80, 80}, {170, 90}, Color::rgba(0.1, 0.6, 0.2));
    addBox(root, {80, 80}, {270, 90}, Color::rgba(0.15, 0.3, 0.85));
    addBox(root, {80, 80}, {370, 80}, Color::rgba(1, 0.85, 0.1));
    addBox(root, {80, 80}, {400, 104}, Color::rgba(0.15, 0.3, 0.85))->setAlpha(0.5);
    View* parent = addBox(root, {90, 90}, {530, 88}, Color::darkGray());
    addBox(parent, {44, 44}, {86, 86}, Color::rgba(1, 0.55, 0.1));  // reaches past the corner
    addBox(root, {64, 64}, {680, 90}, Color::rgba(0.55, 0.2, 0.7))->setTransform(rotation(20));
  }

  void addPictures(View* root) {
    addHeading(root, 146, "Pictures from the resources folder (PNG and JPEG, 2x on dense screens)");
    addPicture(root, "gallery_badge.png", {70, 222});
    addPicture(root, "gallery_photo.jpg", {215, 222}, 80);
    addPicture(root, "btn_submit.png", {350, 222});
    addPicture(root, "btn_on.png", {420, 222});
    addPicture(root, "btn_off.png", {460, 222});
    addPicture(root, "required.png", {560, 222}, 50);
    addPicture(root, "gallery_badge.png", {690, 222}, 40);
  }

  void addLabels(View* root) {
    addHeading(root, 274, "Labels: three alignments, fonts, colours, ellipsis");
    const char* names[] = {"left", "centre", "right"};
    kit::TextAlignment alignments[] = {kit::TextAlignment::Left, kit::TextAlignment::Center,
                                       kit::TextAlignment::Right};
    for (int i = 0; i < 3; ++i) {
      kit::Label* label =
          addLabel(root, {{20.0 + i * 246, 310}, {236, 34}}, names[i], alignments[i]);
      label->setBackgroundColor(Color::rgba(0.85, 0.9, 1));
    }
    kit::Label* bold = addLabel(root, {{20, 352}, {236, 34}}, "Helvetica Bold 22",
                                kit::TextAlignment::Left, kit::Font::boldSystemFontOfSize(22));
    bold->setTextColor(Color::rgba(0.7, 0.1, 0.1));
    kit::Label* longText = addLabel(root, {{266, 352}, {236, 34}},
                                    "A line far too long for its label ends with an ellipsis");
    longText->setBackgroundColor(Color::rgba(1, 0.95, 0.8));
    kit::Label* light =
        addLabel(root, {{512, 352}, {236, 34}}, "white on dark", kit::TextAlignment::Center);
    light->setBackgroundColor(Color::darkGray());
    light->setTextColor(Color::white());
  }

  void addButton(View* root) {
    addHeading(root, 400, "Button: a picture that darkens while pressed; touch up inside acts");
    auto button = std::make_unique<kit::Button>(Size{81, 34});
    button->setCenter({80, 460});
    button->setBackgroundImage(kit::Image::imageNamed("btn_submit.png"), kit::ControlState::Normal);
    button->addTarget(this, &CorePage::buttonPressed, kit::ControlEvent::TouchUpInside);
    root->addSubview(std::move(button));
    pressedLabel_ = addLabel(root, {{140, 443}, {400, 34}}, "button pressed 0 times");
  }

  void buttonPressed() {
    ++presses_;
    pressedLabel_->setText("button pressed " + std::to_string(presses_) +
                           (presses_ == 1 ? " time" : " times"));
    redraw();
  }

  void addAnimationChain(View* root) {
    addHeading(root, 494,
               "Animation chain: centre, then alpha after a delay, then transform, then back");
    addTextButton(root, {{20, 536}, {100, 44}}, "Run", Color::rgba(0.15, 0.45, 0.8))
        ->addTarget(this, &CorePage::runChain, kit::ControlEvent::TouchUpInside);
    chainHome_ = {200, 558};
    square_ = addBox(root, {44, 44}, chainHome_, Color::rgba(0.9, 0.35, 0.1));
    stagesLabel_ = addLabel(root, {{20, 590}, {728, 28}}, "stages completed: 0");
  }

  void runChain() {
    if (stage_ != 0) return;  // already running
    completed_ = 0;
    stagesLabel_->setText("stages completed: 0");
    startStage(1);
  }

  void startStage(int stage) {
    stage_ = stage;
    view()->beginAnimations("stage " + std::to_string(stage), nullptr);
    View::setAnimationDelegate(this);
    View::setAnimationDidStopSelector(&CorePage::stageDidStop);
    switch (stage) {
      case 1:
        View::setAnimationDuration(0.6);
        square_->setCenter({chainHome_.x + 480, chainHome_.y});
        break;
      case 2:
        View::setAnimationDelay(0.2);
        View::setAnimationDuration(0.4);
        square_->setAlpha(0.25);
        break;
      case 3:
        View::setAnimationDuration(0.5);
        square_->setTransform(rotation(45, 1.6));
        break;
      default:
        View::setAnimationDuration(0.6);
        square_->setCenter(chainHome_);
        square_->setAlpha(1);
        square_->setTransform(kit::Transform::identity());
        break;
    }
    View::commitAnimations();
  }

  void stageDidStop(const std::string&, bool, void*) {
    ++completed_;
    stagesLabel_->setText("stages completed: " + std::to_string(completed_));
    redraw();
    if (stage_ < kChainStages) {
      startStage(stage_ + 1);
    } else {
      stage_ = 0;
    }
  }

  // A card whose front hides and whose back shows, the change revealed by a transition.
  struct Card {
    View* container = nullptr;
    View* front = nullptr;
    View* back = nullptr;
  };

  Card addCard(View* root, Point center, const std::string& front, const std::string& back) {
    Card card;
    card.container = addBox(root, {160, 100}, center, Color::clear());
    card.front = addBox(card.container, {160, 100}, {80, 50}, Color::rgba(0.15, 0.3, 0.85));
    addLabel(card.front, {{0, 0}, {160, 100}}, front, kit::TextAlignment::Center,
             kit::Font::boldSystemFontOfSize(20))
        ->setTextColor(Color::white());
    card.back = addBox(card.container, {160, 100}, {80, 50}, Color::rgba(1, 0.55, 0.1));
    addLabel(card.back, {{0, 0}, {160, 100}}, back, kit::TextAlignment::Center,
             kit::Font::boldSystemFontOfSize(20));
    card.back->setHidden(true);
    return card;
  }

  void turn(Card& card, kit::AnimationTransition transition, const char* id) {
    view()->beginAnimations(id, nullptr);
    View::setAnimationDuration(0.8);
    View::setAnimationTransition(transition, card.container, true);
    bool showBack = card.back->isHidden();
    card.back->setHidden(!showBack);
    card.front->setHidden(showBack);
    View::commitAnimations();
  }

  void flip() { turn(flipCard_, kit::AnimationTransition::FlipFromRight, "flip"); }
  void curl() { turn(curlCard_, kit::AnimationTransition::CurlUp, "curl"); }

  void addTransitions(View* root) {
    addHeading(root, 628, "Transitions revealing a hidden view: flip from right, curl up");
    addTextButton(root, {{20, 694}, {100, 44}}, "Flip", Color::rgba(0.15, 0.45, 0.8))
        ->addTarget(this, &CorePage::flip, kit::ControlEvent::TouchUpInside);
    flipCard_ = addCard(root, {230, 716}, "front", "back");
    addTextButton(root, {{400, 694}, {100, 44}}, "Curl", Color::rgba(0.15, 0.45, 0.8))
        ->addTarget(this, &CorePage::curl, kit::ControlEvent::TouchUpInside);
    curlCard_ = addCard(root, {610, 716}, "page one", "page two");
  }

  void addTouches(View* root) {
    addHeading(root, 784, "Touches: tap the grey area once, twice, three times");
    View* area = addBox(root, {728, 100}, {384, 876}, Color::rgba(0.88, 0.88, 0.86));
    tapLabel_ = addLabel(area, {{0, 0}, {728, 100}}, "tap count: 0", kit::TextAlignment::Center,
                         kit::Font::boldSystemFontOfSize(26));
  }

  kit::Label* pressedLabel_ = nullptr;
  int presses_ = 0;
  View* square_ = nullptr;
  Point chainHome_;
  kit::Label* stagesLabel_ = nullptr;
  int stage_ = 0;
  int completed_ = 0;
  Card flipCard_;
  Card curlCard_;
  kit::Label* tapLabel_ = nullptr;
};

}  // namespace

std::unique_ptr<kit::ViewController> makeCorePage() {
  return std::make_unique<CorePage>();
}
