#pragma once

#include "kit/graphics/Image.h"
#include "kit/ui/View.h"

namespace kit {

// Shows a picture scaled to its bounds. Takes no touches by default.
class ImageView : public View {
 public:
  explicit ImageView(Size size);
  void setImage(std::shared_ptr<const Image> image) {
    image_ = std::move(image);
    setNeedsDisplay();
  }
  const Image* image() const { return image_.get(); }
  void draw(cairo_t* cr) const override;
  bool paintsOpaque() const override;

 private:
  std::shared_ptr<const Image> image_;
};

}  // namespace kit
