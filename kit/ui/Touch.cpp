#include "kit/ui/Touch.h"

#include "kit/ui/View.h"

namespace kit {

Point Touch::locationInView(const View* inView) const {
  if (!inView) return locationOnScreen;
  return inView->convertFromAncestor(locationOnScreen, nullptr);
}

}  // namespace kit
