#include "kit/ui/Screen.h"

namespace kit {

Layer::Layer() : View({kScreenWidth, kScreenHeight}) {}

View* Layer::hitTest(Point p) {
  View* hit = View::hitTest(p);
  return hit == this ? nullptr : hit;
}

Screen::Screen() : View({kScreenWidth, kScreenHeight}) {
  windows_ = addSubview(std::make_unique<Layer>());
  modals_ = addSubview(std::make_unique<Layer>());
  keyboard_ = addSubview(std::make_unique<Layer>());
  alerts_ = addSubview(std::make_unique<Layer>());
}

View* Screen::hitTest(Point p) {
  View* hit = View::hitTest(p);
  return hit == this ? nullptr : hit;
}

}  // namespace kit
