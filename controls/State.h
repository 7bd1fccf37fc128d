#pragma once

#include <memory>
#include <string>

#include "kit/ui/Button.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/View.h"

// One row of a state list: the state's name over the row picture, 298 x 45 points. It looks
// normal or pressed; its owner switches between the two, nothing in the row does.
class State : public kit::View {
 public:
  // Whatever the frame, the row is 298 x 45 at origin (0, 0) with a clear background.
  explicit State(kit::Rect frame = {});

  // Builds the row picture, the highlight and the title showing `text`. Sent once, after
  // construction; a second call only changes the text.
  void initText(const std::string& text);
  // The pressed look (white text over the highlight) and the normal one; both at once.
  void downState();
  void upState();
  // The title's text; empty before initText.
  std::string getTxt() const;

  kit::Label* title = nullptr;
  kit::ImageView* blue = nullptr;
  kit::ImageView* img = nullptr;
  // A transparent button over the row, ready for an owner that wants one; never added to the row.
  std::unique_ptr<kit::Button> hotspot;
};
