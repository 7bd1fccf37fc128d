#pragma once

#include "kit/View.h"

// The staff screen that lies hidden above the form. Its panels arrive with the sign-in; for now
// it is an empty black screen that the hidden gesture curls up.
class AdminView : public kit::View {
 public:
  using kit::View::View;
  // Builds the screen's content.
  void initAdminView();
};
