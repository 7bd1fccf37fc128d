#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kit/ui/View.h"

namespace kit {

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };
enum class BarButtonSystemItem { FlexibleSpace = 5 };
enum class BarStyle { Default = 0, Black = 1 };

// An item of a toolbar: a titled button or a flexible space.
class BarButtonItem : public Object {
 public:
  template <class T>
  BarButtonItem(std::string title, BarButtonItemStyle style, T* target, void (T::*action)())
      : title(std::move(title)), style(style), action_(bind(target, action)) {}
  template <class T>
  BarButtonItem(BarButtonSystemItem systemItem, T* target, void (T::*action)())
      : systemItem(systemItem), isSystemItem(true), action_(bind(target, action)) {}
  BarButtonItem(BarButtonSystemItem systemItem) : systemItem(systemItem), isSystemItem(true) {}

  void performAction() const {
    if (action_) action_();
  }
  // The bound action (empty when there is none), for callers that may outlive the item.
  const std::function<void()>& action() const { return action_; }

  std::string title;
  BarButtonItemStyle style = BarButtonItemStyle::Plain;
  BarButtonSystemItem systemItem = BarButtonSystemItem::FlexibleSpace;
  bool isSystemItem = false;
  // A disabled item is drawn faded and takes no taps.
  bool enabled = true;
  int tag = 0;

 private:
  template <class T>
  static std::function<void()> bind(T* target, void (T::*action)()) {
    if (!action) return {};
    std::weak_ptr<const void> alive = target->weakReference();
    return [target, action, alive] {
      if (!alive.expired()) (target->*action)();
    };
  }
  std::function<void()> action_;
};

// A bar of items laid out left to right; flexible spaces share the slack.
class Toolbar : public View {
 public:
  explicit Toolbar(Size size);
  ~Toolbar() override;
  void setItems(std::vector<std::unique_ptr<BarButtonItem>> items);
  const std::vector<std::unique_ptr<BarButtonItem>>& items() const { return items_; }
  // The frame of item `index` in the toolbar's coordinates (empty for a flexible space).
  Rect frameOfItem(size_t index) const;

  // Index of the titled item shown pressed, or -1.
  int pressedItem() const { return pressed_; }

  // A touch-down on a titled item presses it; lifting on the same item runs its action.
  void touchesBegan(const TouchSet& touches, const Event* withEvent) override;
  void touchesMoved(const TouchSet& touches, const Event* withEvent) override;
  void touchesEnded(const TouchSet& touches, const Event* withEvent) override;
  void draw(cairo_t* cr) const override;

  BarStyle barStyle = BarStyle::Default;
  // The fill of done items.
  Color tintColor = Color::gray();

 private:
  std::vector<Rect> layOut() const;
  int itemAt(Point p) const;
  void drawBackground(cairo_t* cr) const;
  void drawItem(cairo_t* cr, const BarButtonItem& item, Rect frame, bool pressed, bool black) const;

  std::vector<std::unique_ptr<BarButtonItem>> items_;
  int pressed_ = -1;
  int tracked_ = -1;  // the item the current touch went down on
};

}  // namespace kit
