// The gallery's state picker: the kiosk's state rows in its touch-forwarding scroller. The page
// is the rows' owner: it presses a row while a finger is on it and picks it when the finger lifts
// there; a drag belongs to the scroller and presses nothing.

#include <string>

#include "GalleryViews.h"
#include "Pages.h"
#include "app/TolvikViewController.h"
#include "controls/MapScroller.h"
#include "controls/State.h"
#include "kit/base/Log.h"

namespace {

using kit::Color;
using kit::Point;
using kit::Rect;
using kit::Size;

constexpr int kStateCount = 51;
constexpr int kFirstRowTag = 1000;  // row i has tag kFirstRowTag + i
constexpr double kRowHeight = 45;
constexpr Rect kScrollerFrame{{235, 60}, {298, 5 * kRowHeight}};

class StatePage : public kit::ViewController {
 public:
  void viewDidLoad() override {
    kit::View* root = view();
    root->setBackgroundColor(Color::rgba(0.96, 0.96, 0.94));
    gallery::addHeading(root, 8, "State picker: state rows in a scroller that passes taps on");

    // A hairline frame around the list.
    Point center = kScrollerFrame.center();
    gallery::addBox(root, {kScrollerFrame.size.width + 2, kScrollerFrame.size.height + 2}, center,
                    Color::rgba(0.6, 0.58, 0.54));
    auto scroller = std::make_unique<MapScroller>(kScrollerFrame);
    scroller->setBackgroundColor(Color::white());
    scroller->setContentSize({kScrollerFrame.size.width, kStateCount * kRowHeight});
    for (int i = 0; i < kStateCount; ++i) {
      auto row = std::make_unique<State>();
      row->initText(TolvikViewController::getFullState(i));
      row->tag = kFirstRowTag + i;
      row->setCenter({kScrollerFrame.size.width / 2, kRowHeight * (i + 0.5)});
      scroller->contentView()->addSubview(std::move(row));
    }
    root->addSubview(std::move(scroller));

    gallery::addLabel(root, {{20, 310}, {728, 28}},
                      "Tap a row to pick it; drag or throw the list to scroll.",
                      kit::TextAlignment::Center);
    picked_ = gallery::addLabel(root, {{20, 350}, {728, 40}}, "No state picked",
                                kit::TextAlignment::Center, kit::Font::boldSystemFontOfSize(26));
  }

  void touchesBegan(const kit::TouchSet& touches, const kit::Event*) override {
    State* row = rowOf(touches);
    if (!row) return;
    pressed_ = row;
    row->downState();
    gallery::redraw();
  }

  void touchesEnded(const kit::TouchSet& touches, const kit::Event*) override {
    State* row = release();
    const kit::Touch* touch = touches.anyObject();
    if (!row || rowOf(touches) != row || !row->bounds().contains(touch->locationInView(row))) {
      return;
    }
    int index = row->tag - kFirstRowTag;
    std::string code = TolvikViewController::getState(index);
    std::string name = TolvikViewController::getFullState(index);
    picked_->setText(code + "  " + name);
    kit::log("picked %s %s", code.c_str(), name.c_str());
  }

  void touchesCancelled(const kit::TouchSet&, const kit::Event*) override { release(); }

 private:
  // The row a touch went down on, if it went down on one.
  static State* rowOf(const kit::TouchSet& touches) {
    const kit::Touch* touch = touches.anyObject();
    return touch ? dynamic_cast<State*>(touch->view) : nullptr;
  }

  // Gives the pressed row its normal look back and returns it.
  State* release() {
    State* row = pressed_;
    pressed_ = nullptr;
    if (row) row->upState();
    gallery::redraw();
    return row;
  }

  State* pressed_ = nullptr;
  kit::Label* picked_ = nullptr;
};

}  // namespace

std::unique_ptr<kit::ViewController> makeStatePage() {
  return std::make_unique<StatePage>();
}
