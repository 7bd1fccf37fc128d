#include "controls/RadioBtn.h"

#include <memory>

using kit::View;

namespace {
constexpr double kPopDuration = 0.05;  // each half of the pop, seconds
constexpr double kPopScale = 1.5;
}  // namespace

void RadioBtn::initBtn() {
  auto ring = std::make_unique<kit::ImageView>(kit::Size{25, 25});
  ring->setImage(kit::Image::imageNamed("btn_off.png"));
  ring->setCenter({25, 25});
  ring->setHidden(false);
  ring->setAlpha(1.0);
  btn_off = addSubview(std::move(ring));

  auto dot = std::make_unique<kit::ImageView>(kit::Size{15, 14});
  dot->setImage(kit::Image::imageNamed("btn_on.png"));
  dot->setCenter({25, 25});
  dot->setHidden(true);
  dot->setAlpha(1.0);
  btn_on = addSubview(std::move(dot));
}

void RadioBtn::btnOn() {
  btn_on->setHidden(false);
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(kPopDuration);
  setTransform(kit::Transform::makeScale(kPopScale, kPopScale));
  View::setAnimationDidStopSelector(&RadioBtn::btnOn2);
  View::setAnimationDelegate(this);
  View::commitAnimations();
}

void RadioBtn::btnOn2() {
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(kPopDuration);
  setTransform(kit::Transform::makeScale(1.0, 1.0));
  View::commitAnimations();
}

void RadioBtn::btnOff() {
  btn_on->setHidden(true);
}

bool RadioBtn::btnTouched() const {
  return !btn_on->isHidden();
}
