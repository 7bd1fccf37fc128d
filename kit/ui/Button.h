#pragma once

#include "kit/graphics/Image.h"
#include "kit/ui/Control.h"

namespace kit {

enum class ControlState { Normal = 0 };

// A picture button: fires touch-up-inside when a touch that began on it also ends on it. While
// pressed it draws darkened.
class Button : public Control {
 public:
  explicit Button(Size size);
  void setBackgroundImage(std::shared_ptr<const Image> image, ControlState forState);
  bool isHighlighted() const { return highlighted_; }

  void touchesBegan(const TouchSet& touches, const Event* withEvent) override;
  void touchesMoved(const TouchSet& touches, const Event* withEvent) override;
  void touchesEnded(const TouchSet& touches, const Event* withEvent) override;
  void touchesCancelled(const TouchSet& touches, const Event* withEvent) override;
  void draw(cairo_t* cr) const override;
  bool paintsOpaque() const override;

 private:
  void setHighlighted(bool highlighted);
  bool containsTouch(const TouchSet& touches) const;

  std::shared_ptr<const Image> background_;
  bool highlighted_ = false;
};

}  // namespace kit
