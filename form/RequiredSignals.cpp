// The red signals of a rejected form: a label fades in over a field and out again; a marker
// drops in beside a question, bounces, rests, and floats up while fading out.

#include "app/TolvikViewController.h"

using kit::View;

namespace {
constexpr double kFade = 0.25;
constexpr double kLabelHold = 2.25;
constexpr float kMarkerX = 120;
constexpr float kRestOffset = 30;    // below the base height, where the marker rests
constexpr float kBounceOffset = 15;  // the top of the bounce
constexpr double kBounce = 0.1;
constexpr double kMarkerHold = 1.5;

// The marker's base height, read from its row of the table as a single-precision number.
float baseHeight(const std::vector<std::string>& rY, const View* marker) {
  return std::stof(rY.at(static_cast<size_t>(marker->tag)));
}
}  // namespace

void TolvikViewController::showReqText(kit::Label* label) {
  view()->beginAnimations("", label);
  View::setAnimationDuration(kFade);
  label->setAlpha(1.0);
  View::setAnimationDelegate(this);
  View::setAnimationDidStopSelector(&TolvikViewController::hideReqText);
  View::commitAnimations();
}

void TolvikViewController::hideReqText(const std::string&, bool, void* context) {
  auto* label = static_cast<kit::Label*>(context);
  view()->beginAnimations("", label);
  View::setAnimationDelay(kLabelHold);
  View::setAnimationDuration(kFade);
  label->setAlpha(0.0);
  View::commitAnimations();
}

void TolvikViewController::showReq(kit::ImageView* marker) {
  float y = baseHeight(rY, marker);
  view()->beginAnimations("", marker);
  // The stagger is computed in double precision and passed in single precision.
  View::setAnimationDelay(static_cast<float>(0.1 * marker->tag));
  View::setAnimationDuration(kFade);
  marker->setCenter({kMarkerX, y + kRestOffset});
  marker->setAlpha(1.0);
  View::setAnimationDelegate(this);
  View::setAnimationDidStopSelector(&TolvikViewController::showReq2);
  View::commitAnimations();
}

void TolvikViewController::showReq2(const std::string&, bool, void* context) {
  auto* marker = static_cast<kit::ImageView*>(context);
  float y = baseHeight(rY, marker);
  view()->beginAnimations("", marker);
  View::setAnimationDuration(kBounce);
  marker->setCenter({kMarkerX, y + kBounceOffset});
  View::setAnimationDelegate(this);
  View::setAnimationDidStopSelector(&TolvikViewController::showReq3);
  View::commitAnimations();
}

void TolvikViewController::showReq3(const std::string&, bool, void* context) {
  auto* marker = static_cast<kit::ImageView*>(context);
  float y = baseHeight(rY, marker);
  view()->beginAnimations("", marker);
  View::setAnimationDuration(kBounce);
  marker->setCenter({kMarkerX, y + kRestOffset});
  View::setAnimationDelegate(this);
  View::setAnimationDidStopSelector(&TolvikViewController::hideReq);
  View::commitAnimations();
}

void TolvikViewController::hideReq(const std::string&, bool, void* context) {
  auto* marker = static_cast<kit::ImageView*>(context);
  float y = baseHeight(rY, marker);
  view()->beginAnimations("", nullptr);
  View::setAnimationDelay(kMarkerHold);
  View::setAnimationDuration(kFade);
  marker->setCenter({kMarkerX, y});
  marker->setAlpha(0.0);
  View::commitAnimations();
}
