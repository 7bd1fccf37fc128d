#pragma once

#include "kit/text/TextField.h"

namespace kit {

// Editable text of many lines: the text field's buffer, editing, caret and keyboard, with line
// breaks kept and the text wrapped at the view's width. Return starts a new line. Text taller
// than the view scrolls so that the caret stays in sight.
class TextView : public TextField {
 public:
  explicit TextView(Size size);

  void returnKey() override;
  // Where the text is scrolled to: the distance from the text's top to the view's top.
  double contentOffset() const { return scrollY_; }

  void touchesEnded(const TouchSet& touches, const Event* withEvent) override;
  void draw(cairo_t* cr) const override;

 protected:
  void scrollToCaret() override;

 private:
  double textWidth() const;
  Rect caretRect() const;

  double scrollY_ = 0;
};

}  // namespace kit
