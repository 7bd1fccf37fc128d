#pragma once

#include <string>

#include "kit/ui/Toolbar.h"

namespace kit {

// A toolbar with a title in its middle, over the top of a screen: items at its ends (a flexible
// space between them), the title centred on the bar.
class NavigationBar : public Toolbar {
 public:
  using Toolbar::Toolbar;
  void setTitle(const std::string& title);
  const std::string& title() const { return title_; }
  void draw(cairo_t* cr) const override;

 private:
  std::string title_;
};

}  // namespace kit
